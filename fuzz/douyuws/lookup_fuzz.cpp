// The web answers read before joining a room: the betard document, the
// room's gift list and the prop list, each from the same arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platforms/douyuws/douyuws_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)douyuws::roomIdFromBetard(input);
    douyuws::GiftNames room, props;
    (void)douyuws::readGiftList(input, room);
    (void)douyuws::readPropList(input, props);
    for (const auto& [id, name] : room) {
        (void)douyuws::giftNameOf(id, room, props);
    }
    (void)douyuws::betardUrl("https://www.douyu.com", input);
    return 0;
}
