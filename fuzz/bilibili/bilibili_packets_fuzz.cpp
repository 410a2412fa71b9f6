// Feeds arbitrary bytes to the packet reader as one WebSocket message, and the
// body of every packet it yields to the command parser, as the client does.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platforms/bilibili/bilibili_events.h"
#include "platforms/bilibili/bilibili_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<bilibili::Packet> packets;
    (void)bilibili::readPackets(std::string_view(reinterpret_cast<const char*>(data), size), packets);
    std::vector<bilibili::ChatCommand> events;
    for (const auto& packet : packets) {
        (void)bilibili::popularity(packet);
        (void)bilibili::parseCommand(packet.body, events);
    }
    return 0;
}
