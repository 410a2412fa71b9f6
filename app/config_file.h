// The settings file "配置.txt": GBK INI text, thirty-two top-level keys, read
// once at start-up and rewritten whole on every save.
//
// Threads: the user-interface thread (nothing here is shared).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/room_id.h"

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
    std::string engineCommand;   // UTF-8; empty: the built-in voices
    bool filterNames = false;    // the filter words also apply to viewers' names
    bool foldRepeats = false;    // a chat text heard within 10 s is not read again
    std::string outputDevice;    // UTF-8, as the audio library names it; empty: the default
    bool engineRawText = false;  // the engine command gets the text unchanged, not its spoken form
    bool speakFollows = true;    // follows, special and mutual follows alike
    bool speakShares = false;
    bool speakLikes = false;   // a viewer's likes at most once a minute
    std::string browserAgent;  // the living clients' user agent; empty: their built-in one
    // The host's wording (UTF-8; empty: the built-in wording), see AnnouncementTexts.
    std::string chatTemplate;
    std::string giftTemplate;
    std::string welcomeTemplate;
    std::string followTemplate;
    std::string paidTemplate;
    std::int32_t minGiftValue = 0;  // in the platform's unit; 0 thanks every gift
    std::int32_t viewerCooldown =
        0;                     // seconds; a viewer's chat line this soon after their last one read is dropped
    std::int32_t maxWait = 0;  // seconds; a chat line that waited longer is dropped unread
    std::string alsoRooms;     // rooms read besides the main one, "5:9999,6:660000"; empty: none

    bool operator==(const Settings&) const = default;
};

inline constexpr char kConfigFileName[] = "配置.txt";  // UTF-8, as native paths are here

// What the dialog accepts on a save; a loaded value outside gives the default.
struct Range {
    int low;
    int high;
    bool holds(std::int64_t value) const { return value >= low && value <= high; }
};
inline constexpr Range kVolumeRange{0, 100};
inline constexpr Range kSpeedRange{1, 100};
inline constexpr Range kCacheCountRange{100, 300};
inline constexpr Range kMinChatLengthRange{2, 100};
inline constexpr Range kMaxChatLengthRange{10, 100};
inline constexpr Range kSpeechSecondsRange{1, 99};
inline constexpr Range kMinGiftValueRange{0, 2'000'000'000};
inline constexpr Range kViewerCooldownRange{0, 3600};  // 0: off
inline constexpr Range kMaxWaitRange{0, 3600};         // 0: off
inline constexpr int kVoiceCount = 16;

// Only this much of a settings file is read: a settings file is a few
// hundred bytes, and a huge one must not stall the start.
inline constexpr std::size_t kConfigFileCap = 1 << 20;

// Reads the file at `nativePath`. A missing or unparsable file gives the
// defaults; a key that is missing, unreadable or out of its range in a file
// that parses gives that key's default. `kinds` holds each platform list
// entry's kind of room id, by index: the platform index must name one of
// them, and so must each of the rooms read besides. A file over
// kConfigFileCap is read up to its last whole line within the cap, with a
// message on standard error.
Settings loadConfig(const std::string& nativePath, std::span<const RoomIdKind> kinds);

// The file's whole content for `settings`: the keys in their fixed order,
// "key=value" lines ended by CR LF, GBK.
std::string configText(const Settings& settings);

// Replaces the file at `nativePath` with configText(settings). False when the
// file could not be written; the old file is then left as it was.
bool saveConfig(const std::string& nativePath, const Settings& settings);

}  // namespace app
