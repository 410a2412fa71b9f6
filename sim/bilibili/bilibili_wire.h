// The simulated room's own side of the live chat's wire: packets, bundles,
// the protobuf payloads it sends and the signature it checks. Written from
// the public protocol notes apart from the client's code, so that a fault
// the two shared would not pass unseen.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sim::biliwire {

enum : std::uint32_t { kHeartbeat = 2, kHeartbeatReply = 3, kCommand = 5, kAuth = 7, kAuthReply = 8 };
enum : std::uint16_t { kPlain = 0, kControl = 1, kZlib = 2, kBrotli = 3 };

// A 16-byte big-endian header (total length, header length, version,
// operation, sequence) and the body.
std::string packet(std::uint32_t operation, std::string_view body, std::uint16_t version = kControl,
                   std::uint32_t sequence = 1);

struct Received {
    std::uint32_t operation = 0;
    std::string body;
};
// The plain packets of a message from the client; false when a header does
// not fit.
bool split(std::string_view message, std::vector<Received>& out);

// A command packet whose body is `packets` compressed.
std::string bundle(std::string_view packets, std::uint16_t compression);

// Protobuf payloads (base64 in "data.pb"): an interaction and a gift of one item.
std::string interactWordPayload(std::uint64_t uid, std::string_view name, std::int64_t msgType);
std::string sendGiftPayload(std::uint64_t uid, std::string_view name, std::string_view gift,
                            std::int64_t count);
std::string base64(std::string_view bytes);

// The signature of a WBI-signed query: w_rid for `params` (without wts and
// w_rid) at time `wts`, under the keys of the nav answer.
std::string wbiSignature(const std::map<std::string, std::string>& params, std::string_view wts,
                         std::string_view imgKey, std::string_view subKey);

}  // namespace sim::biliwire
