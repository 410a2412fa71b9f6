// Any received text through the client's message dispatcher. The dialog is
// closed, so deliveries return at once; a login answer queues the group join.
#include <boost/asio/io_context.hpp>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platforms/historic/douyu/CDouyuTv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static boost::asio::io_context io;
    static MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
    static CDouyuTv* client = [] {
        window.close();
        return new CDouyuTv(io, window, DouyuSettings{});
    }();
    client->dispatchMessage(std::string_view(reinterpret_cast<const char*>(data), size));
    io.restart();
    io.poll();
    return 0;
}
