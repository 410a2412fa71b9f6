// Where the platform clients connect, and the other settings a client takes
// from outside the program. The application reads them once at start-up (from
// the environment) and hands them to the client factories as a value; no
// client reads the environment itself. Which variables exist, and their
// defaults, each platform's catalogue entry says (platforms::hostVariables).
//
// A plain value: copy it freely, read it from any thread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

// The variable that names a PEM file of CA certificates the living clients'
// HTTPS requests and wss:// connections trust; for tests only.
inline constexpr const char* kTestCaVariable = "SONARO_TEST_CA_FILE";

struct PlatformHosts {
    // Host settings by the name of the environment variable that set them
    // ("host[:port]" or a base URL with its scheme). A variable not set
    // leaves the platform's own default.
    std::map<std::string, std::string, std::less<>> values;
    // The living clients' user agent (the settings key 浏览器标识); their
    // built-in browser identity when empty.
    std::string browserAgent;
    // The folder beside the settings where a client keeps a file of the
    // host's own (a login cookie); none when empty. The application sets it.
    std::string dataFolder;
    // Name the chat commands a living client does not read on standard error
    // (SONARO_TRACE=1).
    bool trace = false;

    // The value set for `variable`, or `fallback` when none is.
    std::string value(std::string_view variable, std::string_view fallback = {}) const;
};
