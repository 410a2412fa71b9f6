// Base64 as servers send it (the standard alphabet with '+' and '/').
//
// Threads: a pure function; any thread.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace util {

enum class Base64Mode {
    Strict,       // any character outside the alphabet, or a dangling one, fails
    SkipInvalid,  // characters outside the alphabet are passed over
};

// The decoded bytes, up to the first '='; nothing when the text fails the
// mode or would decode to more than `maxBytes`.
std::optional<std::string> decodeBase64(std::string_view text, Base64Mode mode,
                                        std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

}  // namespace util
