// The one bound on a single chat message that every living client keeps. The
// services publish no limit below their frame sizes, yet no real chat line,
// gift or room entry comes near it; a message over it is dropped alone,
// before it is parsed, and the connection reads on.
//
// Pure constants; any thread.
#pragma once

#include <cstddef>

namespace platforms {

// Bytes of one message's text as it arrives (a Douyu frame's body, one
// Bilibili command's JSON), before any decoding into names and lines.
inline constexpr std::size_t kMaxChatMessageBytes = 1u << 20;

}  // namespace platforms
