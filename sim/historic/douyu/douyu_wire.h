// Douyu's wire format as its servers write it: frames, the escaping of
// values and the events of a script as server messages. The simulated room
// and the tests build their bytes with it.
//
// Threads: any (no shared state).
#pragma once

#include <cstdint>
#include <string>

#include "sim/room.h"
#include "sim/tcp_server.h"

namespace sim {

// The longest frame a Douyu server sends or accepts: 32,768 body bytes.
constexpr std::uint32_t kDouyuLargestLength = 32768 + 8;

// Douyu framing as the servers do it (type 690): a whole frame, or a header
// announcing `length` (body length + 8).
std::string douyuServerFrame(const std::string& text);
std::string douyuServerHeader(std::uint32_t length);
// Percent-encoding of everything but letters, digits and ".-_", as the pages
// carry their server lists.
std::string douyuPageEncode(const std::string& text);
// Escapes a value for one level of nesting: '@' to "@A", '/' to "@S".
std::string douyuEscape(const std::string& value);
// "key@=value/" items with each value escaped, as the servers build them.
std::string douyuItems(std::initializer_list<std::pair<const char*, std::string>> pairs);

// One client frame's text (without the client's NUL); false when the
// connection ended or the frame is not one a client would send.
bool readDouyuClientFrame(Connection& connection, std::string& text);

// The server message for a script event, the `serial`th on its connection,
// in room `roomId` and group `groupId`.
std::string douyuScriptMessage(const ScriptEvent& event, int serial, const std::string& roomId,
                               const std::string& groupId);

}  // namespace sim
