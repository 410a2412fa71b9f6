// The program's options. Without any, it opens the dialog on the desktop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/room_list.h"

namespace app {

struct CommandLine {
    bool headless = false;  // offscreen, status and speech lines on stdout
    bool help = false;
    bool version = false;               // print the version and leave
    bool login = false;                 // press the login button once initialised
    std::optional<int> platform;        // 0..5, for this run only
    std::optional<std::string> room;    // UTF-8, for this run only
    std::vector<RoomChoice> also;       // rooms read besides, for this run only
    bool demo = false;                  // simulated rooms instead of the platforms
    std::optional<double> demoSeconds;  // the run ends (cancel path) after this long
};

struct ParsedCommandLine {
    CommandLine options;
    std::string error;  // empty when the arguments were understood
};

// `arguments` without the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The --help text (UTF-8, ends with a line break).
std::string usageText();

// The --version line ("sonaro <version>", ends with a line break).
std::string versionText();

}  // namespace app
