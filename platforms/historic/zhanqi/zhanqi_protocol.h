// The Zhanqi wire formats, as pure functions: the room page and viewer API,
// the 12-byte packets and the JSON texts keyed by "cmdid". Nothing here
// touches a socket, so tests and fuzzers drive it directly.
//
// Pure; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platforms/historic/common/server_entry.h"

namespace zhanqi {

using ServerEntry = platforms::ServerEntry;

// What one lookup gathers: the room's numeric id from its page, the chat
// servers from the page's configuration and an anonymous viewer identity.
struct RoomInfo {
    int roomNumber = 0;
    std::vector<ServerEntry> servers;
    int uid = 0;
    int gid = 0;
    std::string sid;
    std::uint32_t timestamp = 0;
};

std::string roomPageUrl(const std::string& host, const std::string& roomId);  // the room goes unescaped
std::string viewerUrl(const std::string& host);

// The number after the page's first "id":" marker; 0 without the marker.
int roomNumberFromPage(std::string_view page);

// Standard base64; characters outside the alphabet are skipped and "=" ends
// the value. Nothing when the result would exceed `limit` bytes.
std::optional<std::string> decodeBase64(std::string_view text, std::size_t limit);

// The chat servers of the page's base64 configuration. Empty when the
// configuration is missing, damaged, longer than 4096 bytes decoded, or lacks
// "list" or an item's "ip" or "port".
std::vector<ServerEntry> serversFromPage(std::string_view page);

// The viewer identity of the API answer into `info`; false when the answer is
// not JSON or lacks one of the four values.
bool readViewer(std::string_view api, RoomInfo& info);

// Both documents together: the servers are left empty whenever the room
// cannot be joined with what they hold.
RoomInfo parseRoomInfo(std::string_view page, std::string_view api);

inline constexpr std::size_t kHeaderLength = 12;
inline constexpr std::size_t kMaxTextLength = 32768;
inline constexpr std::uint16_t kGreetingKind = 1000;
inline constexpr std::uint16_t kRequestKind = 10000;

// Header (magic 0xCCBB, text length and kind, little-endian) and text, cut
// to kMaxTextLength.
std::string packPacket(std::string_view text, std::uint16_t kind);
std::string greetingPacket();
std::string loginPacket(const RoomInfo& info);
std::string keepAlivePacket(int roomNumber);

// The text length of a received header: its bytes 6-7 as a signed 16-bit
// value; negative means the connection is broken.
int packetTextLength(const std::uint8_t* header);

// What one received text asks of the client.
struct Incoming {
    enum Action {
        Unparseable,       // not JSON: restart
        GreetingAccepted,  // send the keep-alive, then the login request
        GreetingRefused,   // restart
        LoggedIn,
        Chat,
        Gift,
        Ignored,  // other commands, or a text without the values its command needs
    } action = Ignored;
    std::string name;  // GBK
    std::string text;  // GBK
    std::int32_t count = 0;
};

Incoming handleText(std::string_view text, int roomNumber);

}  // namespace zhanqi
