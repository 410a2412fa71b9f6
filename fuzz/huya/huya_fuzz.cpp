// Any bytes as a server message, as a TARS struct walked to its leaves, and
// as a room page.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platforms/huya/huya_messages.h"
#include "platforms/huya/huya_page.h"
#include "platforms/huya/tars.h"

namespace {

// Visits every field the reader accepts, as a client reading unknown
// messages would.
void walk(const huya::tars::Struct& s, int depth) {
    if (depth > huya::tars::kMaxDepth) {
        return;
    }
    for (unsigned tag = 0; tag < 16; ++tag) {
        auto field = s.field(tag);
        if (!field) {
            continue;
        }
        (void)s.integer(tag);
        (void)s.bytes(tag);
        if (auto child = s.child(tag)) {
            walk(*child, depth + 1);
        }
        s.forEach(tag, [depth](const huya::tars::Field& element) {
            if (auto inner = huya::tars::Struct::of(element)) {
                walk(*inner, depth + 1);
            }
            return true;
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    huya::Decoded decoded = huya::decodeMessage(bytes);
    if (decoded.events.size() > huya::kMaxEventsPerMessage) {
        __builtin_trap();
    }
    if (auto s = huya::tars::Struct::parse(bytes)) {
        walk(*s, 0);
    }
    (void)huya::readRoomPage(bytes);
    return 0;
}
