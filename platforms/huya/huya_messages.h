// The messages of Huya's web chat: what the client sends (registration and
// heartbeat, each a WebSocketCommand in one binary WebSocket message) and
// what it reads from the pushes (chat lines, gifts in this room, noble and
// VIP entries). Names and texts arrive in UTF-8 and leave here in GBK.
//
// Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace huya {

// The WebSocketCommand types the client uses.
enum CommandType : std::int32_t {
    kRegisterReq = 1,
    kRegisterRsp = 2,
    kPushMessage = 7,
    kRegisterGroupReq = 16,
    kRegisterGroupRsp = 17,
    kHeartBeatReq = 20,
    kHeartBeatRsp = 21,
    kPushMessageV2 = 22,
};

// The push uris that are read. 6502 (a gift in another room, broadcast to
// the whole platform) and every other uri are not.
enum Uri : std::int64_t {
    kChatUri = 1400,
    kGiftUri = 6501,
    kNobleEnterUri = 1005,
    kVipEnterUri = 6110,
};

// A room's ids from its page; all exceed 32 bits on today's rooms.
struct RoomIds {
    std::int64_t yyid = 0;
    std::int64_t channelId = 0;
    std::int64_t subChannelId = 0;
    std::int64_t presenterUid = 0;
};

// The registrations: by group ("live:<uid>" and "chat:<uid>"), which needs
// the presenter's uid, or as an anonymous user of the room's channels, which
// needs the yyid and the channel ids. Empty when the ids needed are missing.
std::string registerGroupCommand(const RoomIds& ids);
std::string registerUserCommand(const RoomIds& ids);
// The heartbeat the web player sends: a bare HeartBeatReq.
std::string heartbeatCommand();

struct Event {
    enum class Kind { Chat, Gift, Enter };
    Kind kind = Kind::Chat;
    std::string name;  // GBK
    std::string text;  // GBK: the chat line, or the gift's name
    std::int32_t count = 1;
};

// More events than this in one message are dropped: a push carries a few.
inline constexpr std::size_t kMaxEventsPerMessage = 256;

struct Decoded {
    bool valid = false;  // false: not a WebSocketCommand, or a push that does not decode
    std::int32_t type = 0;
    std::vector<Event> events;
    // Pushes that were not read: uri and payload size, for tracing (as many
    // as events at most).
    std::vector<std::pair<std::int64_t, std::size_t>> unread;
};

// One binary WebSocket message from the server.
Decoded decodeMessage(std::string_view message);

}  // namespace huya
