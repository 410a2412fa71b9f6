// The Douyu wire format: 12-byte framed key/value texts ("type@=keeplive/tick@=1/"),
// and the readers that cut values out of such texts. Pure functions, callable
// from any thread; the client's sockets only move the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace douyu {

inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::uint32_t kMaxBody = 32768;
inline constexpr std::uint16_t kClientMessageType = 689;

// One frame: header, a fixed body area, and the body length kept beside it.
struct DouyuPacket {
    std::array<std::uint8_t, kHeaderSize> header{};
    std::array<char, kMaxBody> body{};
    std::uint32_t bodyLength = 0;

    std::size_t frameSize() const { return kHeaderSize + bodyLength; }
};

// Fills `packet` with `text` plus its NUL (the body is cut at 32,768 bytes,
// dropping the NUL), both length fields and type 689.
void fillPacket(DouyuPacket& packet, std::string_view text);

// The bytes `fillPacket` would put on the wire.
std::string frameText(std::string_view text);

// Body length announced by a received header; nothing when the first length
// field is below 8 or the body would exceed 32,768 bytes. The second length
// and the type are not examined: servers send type 690.
std::optional<std::uint32_t> bodyLengthOf(const std::uint8_t* header);

// Bytes after the first `key` up to the next `terminator` (or the end of the
// text). A missing key gives an empty value.
std::string_view findValue(std::string_view text, std::string_view key, std::string_view terminator = "/");

// The decimal value of a top-level key, 0 when missing or not a number.
std::int32_t findNumber(std::string_view text, std::string_view key);

// True when "type@=" + `name` occurs anywhere: "dgn" also matches "dgnx".
bool isType(std::string_view text, std::string_view name);

}  // namespace douyu
