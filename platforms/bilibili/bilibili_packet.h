// The live chat's packets: a 16-byte big-endian header (total length, header
// length, version, operation, sequence) and a body. One WebSocket message
// carries one or more packets; a message packet's body may be a zlib
// (version 2) or brotli (version 3) bundle of further packets.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bilibili {

enum Operation : std::uint32_t {
    kHeartbeat = 2,
    kHeartbeatReply = 3,
    kCommand = 5,
    kAuth = 7,
    kAuthReply = 8,
};

enum Version : std::uint16_t {
    kPlain = 0,
    kControl = 1,
    kZlib = 2,
    kBrotli = 3,
};

inline constexpr std::size_t kHeaderSize = 16;

// Everything one WebSocket message may unpack to. Real bundles are a few
// kilobytes; the bound keeps a compression bomb from eating the memory.
inline constexpr std::size_t kMaxUnpackedSize = 8u << 20;

// Bundles may hold bundles in principle; the service nests one level.
inline constexpr int kMaxBundleDepth = 3;

struct Packet {
    std::uint32_t operation = 0;
    std::uint16_t version = 0;
    std::string body;
};

// Header and body of one packet.
std::string encodePacket(std::uint32_t operation, std::string_view body, std::uint16_t version = kControl,
                         std::uint32_t sequence = 1);

// Appends the packets of one WebSocket message to `out`, bundles opened. A
// remainder shorter than a header is skipped: the heartbeat reply's length
// covers only its header and popularity, and the echo of the client's own
// heartbeat body trails it. False when a header's lengths do not fit, a
// bundle does not decompress, or the unpacked bytes exceed kMaxUnpackedSize;
// `out` then holds what was read before the fault.
bool readPackets(std::string_view message, std::vector<Packet>& out);

// The popularity of a heartbeat reply (its first 4 body bytes), or nothing
// when the body is shorter.
std::optional<std::uint32_t> popularity(const Packet& reply);

// A message packet whose body is `packets` (encoded packets, end to end)
// compressed with zlib (kZlib) or brotli (kBrotli), as the service sends
// them: used by the simulated room and the tests.
std::string bundlePacket(std::string_view packets, Version compression);

// Decompression with an output bound; nothing on corrupt input or when the
// output would exceed `limit`.
std::optional<std::string> inflateZlib(std::string_view data, std::size_t limit);
std::optional<std::string> decompressBrotli(std::string_view data, std::size_t limit);

}  // namespace bilibili
