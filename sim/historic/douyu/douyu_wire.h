// Douyu's wire format of 2016 as its servers wrote it: the page encoding,
// client frames and the events of a script as server messages (the frames
// and the escaping, which today's servers keep, are in
// sim/douyuws/douyu_frames.h). The simulated room and the tests build their
// bytes with it.
//
// Threads: any (no shared state).
#pragma once

#include <cstdint>
#include <string>

#include "sim/douyuws/douyu_frames.h"
#include "sim/room.h"
#include "sim/tcp_server.h"

namespace sim {

// Percent-encoding of everything but letters, digits and ".-_", as the pages
// carry their server lists.
std::string douyuPageEncode(const std::string& text);
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
