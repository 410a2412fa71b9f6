// Any room page and authentication answer through the readers of the lookup and login.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platforms/historic/douyu/douyu_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string roomId;
    std::vector<douyu::ServerEntry> servers;
    douyu::parseRoomPage(text, roomId, servers);
    for (const auto& s : servers) {
        if (s.address.empty() || s.port <= 0) {
            __builtin_trap();
        }
    }
    douyu::userNameOf(text);
    douyu::chatPortsOf(text);
    douyu::groupIdOf(text);
    return 0;
}
