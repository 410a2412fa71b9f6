// What the saved settings put in force in the running session.
#pragma once

#include "app/config_file.h"
#include "core/session.h"

namespace app {

// `voiceIndex` is the voice list's selection, which may differ from the
// stored one when that lies outside the list.
SessionSettings sessionSettings(const Settings& settings, int voiceIndex);

}  // namespace app
