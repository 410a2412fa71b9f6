// Feeds arbitrary bytes through the Panda frame reader as if they arrived on
// the chat connection, then through the batch splitter and message parser; the
// same bytes also go to the chat-info parser.
#include <cstring>
#include <string_view>

#include "platforms/historic/panda/panda_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)panda::parseChatInfo(input);

    static panda::PandaFrame frame;
    frame = panda::PandaFrame{};
    panda::NextRead next;
    std::size_t pos = 0;
    while (next.offset + next.length <= frame.data.size() && pos + next.length <= size) {
        std::memcpy(frame.data.data() + next.offset, data + pos, next.length);
        pos += next.length;
        if (next.what == panda::NextRead::Body) {
            if (frame.kind == panda::PandaFrame::MessageBatch) {
                std::string_view body(reinterpret_cast<const char*>(frame.body()), frame.bodyLength);
                panda::forEachBatchRecord(body,
                                          [](std::string_view json) { (void)panda::parseMessage(json); });
            }
            frame.stage = 0;
            next = panda::NextRead{};
            continue;
        }
        next = panda::afterHeadRead(frame);
        if (next.what == panda::NextRead::Broken) {
            break;
        }
    }
    return 0;
}
