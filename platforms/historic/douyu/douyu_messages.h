// What the Douyu client reads from and writes into message texts: the room
// page, the authentication server's answers, the chat messages it turns into
// events, and the texts of its own requests. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platforms/historic/common/server_entry.h"

namespace douyu {

// One authentication server from the room page: the address as written in
// the page, trimmed, and a port above 0.
using ServerEntry = platforms::ServerEntry;

// Room id and authentication servers from a room page. `roomId` is set only
// when the page carries one; `servers` is always replaced. False when either is
// missing (the caller treats that as a failed lookup).
bool parseRoomPage(std::string_view page, std::string& roomId, std::vector<ServerEntry>& servers);

// A received text turned into what the client does with it. Names and texts are GBK.
struct Message {
    enum class Kind { Ignored, LoginResponse, Chat, Enter, Gift };
    Kind kind = Kind::Ignored;
    std::string name;
    std::string text;
    std::int32_t count = 0;
};

// Decides the type by the ordered type tests and cuts out the values.
Message parseMessage(std::string_view text);

// Answers of the authentication server.
bool hasUserName(std::string_view text);
std::string userNameOf(std::string_view text);
// Every non-empty "port@AA=" value of a "type@=msgrepeaterlist", in order.
std::vector<std::string> chatPortsOf(std::string_view text);
// The group id of a "type@=setmsggroup": after "gid@=" up to the text's last '/'.
std::string groupIdOf(std::string_view text);

// The local clock's reading of a UTC instant: the UTC date and time taken as
// local time (what the servers expect as rt). 28,800 below `utcSeconds` at UTC+8.
std::int64_t localClockSeconds(std::int64_t utcSeconds);

std::string authLoginText(const std::string& roomId, std::int64_t rt);
std::string chatLoginText(const std::string& userName, const std::string& roomId);
std::string joinGroupText(const std::string& roomId, const std::string& groupId);
std::string authKeepAliveText(std::int64_t localSeconds);
std::string chatKeepAliveText(std::uint64_t tickMs);

}  // namespace douyu
