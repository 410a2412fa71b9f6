// The one place where the platform host variables are read from the
// environment.
//
// Threads: the main thread, at start-up.
#pragma once

#include "core/platform_hosts.h"

namespace app {

// The defaults, with every variable of hostVariables() that is set and not
// empty taking its field's place.
PlatformHosts hostsFromEnvironment();

}  // namespace app
