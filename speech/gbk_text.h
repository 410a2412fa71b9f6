// Small helpers for GBK texts the engine builds itself. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace speech {

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary (a byte from 0x81 on starts a two-byte character).
std::string truncateGbk(std::string_view text, std::size_t maxBytes);

// "感谢<name>赠送的<count>个<gift>" in GBK, the names cut to
// kMaxSpokenNameChars characters and the whole to at most `maxBytes` bytes on
// a character boundary.
std::string thankYouText(std::string_view name, std::int32_t count, std::string_view gift,
                         std::size_t maxBytes);

}  // namespace speech
