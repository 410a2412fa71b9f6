// Walking GBK text character by character.
//
// In GBK a byte from 0x81 to 0xFE starts a two-byte character whose second
// byte runs from 0x40 to 0xFE, so it can equal '@', '[', ']', '\\', '|' or a
// letter. A byte-wise search for an ASCII delimiter would stop inside such a
// character and split it; every scan of GBK text goes through these helpers,
// which only look at character boundaries.
//
// All functions are pure; any thread may call them.
#pragma once

#include <cstddef>
#include <string_view>

namespace util {

constexpr bool isGbkLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Width in bytes of the character that starts at `at` (< text.size()): 2 for a
// lead byte with a byte after it, otherwise 1 (a lead byte cut off at the end
// stands alone).
constexpr std::size_t gbkCharWidth(std::string_view text, std::size_t at) {
    return isGbkLead(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// First occurrence of `needle` that starts on a character boundary at or after
// `from`, which must itself be a boundary; npos when there is none. An empty
// needle is found at `from`.
std::size_t gbkFind(std::string_view text, std::string_view needle, std::size_t from = 0);

// Longest prefix of at most `maxBytes` bytes that ends on a character boundary.
std::string_view gbkPrefix(std::string_view text, std::size_t maxBytes);

// The first `maxChars` characters (a double-byte character counts one), or
// the whole text when it is shorter.
std::string_view gbkPrefixChars(std::string_view text, std::size_t maxChars);

}  // namespace util
