// Feeds arbitrary bytes to the Zhanqi client's packet handling as if they
// arrived on the chat connection; the same bytes, cut in two, also serve as a
// room page and a viewer answer.
#include <string_view>

#include "platforms/historic/zhanqi/zhanqi_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto cut = input.find('\0');
    if (cut != std::string_view::npos) {
        (void)zhanqi::parseRoomInfo(input.substr(0, cut), input.substr(cut + 1));
    } else {
        (void)zhanqi::parseRoomInfo(input, input);
    }

    std::size_t pos = 0;
    while (pos + zhanqi::kHeaderLength <= size) {
        int length = zhanqi::packetTextLength(data + pos);
        pos += zhanqi::kHeaderLength;
        if (length < 0 || pos + static_cast<std::size_t>(length) > size) {
            break;
        }
        auto in = zhanqi::handleText(input.substr(pos, length), 41532);
        pos += length;
        if (in.action == zhanqi::Incoming::Unparseable || in.action == zhanqi::Incoming::GreetingRefused) {
            break;
        }
    }
    return 0;
}
