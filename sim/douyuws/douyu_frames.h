// Douyu's frames and value escaping as its servers write them, the same in
// 2016 and over today's WebSocket. The simulated rooms and the tests build
// their bytes with them.
//
// Threads: any (no shared state).
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// The longest frame a Douyu server sends or accepts: 32,768 body bytes.
constexpr std::uint32_t kDouyuLargestLength = 32768 + 8;

// Douyu framing as the servers do it (type 690): a whole frame, or a header
// announcing `length` (body length + 8).
std::string douyuServerFrame(const std::string& text);
std::string douyuServerHeader(std::uint32_t length);
// Escapes a value for one level of nesting: '@' to "@A", '/' to "@S".
std::string douyuEscape(const std::string& value);

}  // namespace sim
