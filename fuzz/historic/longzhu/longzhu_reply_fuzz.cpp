// Feeds arbitrary bytes to the Longzhu decoders: the polling API's reply and
// the room page's chat-room id. The input is copied to an exactly sized buffer
// so any read past it is caught.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platforms/historic/longzhu/longzhu_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> exact(data, data + size);
    std::string_view body(exact.data(), exact.size());
    longzhu::Reply reply = longzhu::decodeReply(body);
    if (reply.status == longzhu::ReplyStatus::NotJson && (!reply.messages.empty() || reply.hasCursor)) {
        __builtin_trap();  // a body that is not JSON cannot have delivered anything
    }
    (void)longzhu::chatRoomIdFromPage(body);
    return 0;
}
