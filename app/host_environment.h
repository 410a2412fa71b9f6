// The one place where the platform host variables are read from the
// environment.
//
// Threads: the main thread, at start-up.
#pragma once

#include "core/platform_hosts.h"

namespace app {

// Every variable of platforms::hostVariables() that is set and not empty;
// the others keep their platform's default.
PlatformHosts hostsFromEnvironment();

}  // namespace app
