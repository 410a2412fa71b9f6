// The settings file "配置.txt": GBK INI text, thirteen top-level keys, read
// once at start-up and rewritten whole on every save.
//
// Threads: the user-interface thread (nothing here is shared).
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The host's settings as the file keeps them; the initial values are the
// defaults a fresh install starts with.
struct Settings {
    std::int32_t platform = 0;  // platform list index; -1 for no selection
    std::int32_t voice = 0;     // voice list index; -1 for no selection
    std::int32_t volume = 100;
    std::int32_t speed = 70;
    std::string roomNumber = "516207";  // GBK
    std::int32_t minChatLength = 2;
    std::int32_t maxChatLength = 60;
    std::int32_t cacheCount = 200;
    bool speakChat = true;
    bool speakGifts = true;
    std::int32_t speechSeconds = 5;
    bool speakWelcome = true;
    bool speakNickname = true;
    // Later additions, appended to the file in this order.
    bool filterNames = false;  // the filter words also apply to viewers' names
    bool foldRepeats = false;  // a chat text heard within 10 s is not read again
    std::string outputDevice;  // UTF-8, as the audio library names it; empty: the default

    bool operator==(const Settings&) const = default;
};

inline constexpr char kConfigFileName[] = "配置.txt";  // UTF-8, as native paths are here

// Reads the file at `nativePath`. A missing or unparsable file gives the
// defaults; a key that is missing or unreadable in a file that parses gives
// that key's default.
Settings loadConfig(const std::string& nativePath);

// The file's whole content for `settings`: the keys in their fixed order,
// "key=value" lines ended by CR LF, GBK.
std::string configText(const Settings& settings);

// Replaces the file at `nativePath` with configText(settings). False when the
// file could not be written; the old file is then left as it was.
bool saveConfig(const std::string& nativePath, const Settings& settings);

}  // namespace app
