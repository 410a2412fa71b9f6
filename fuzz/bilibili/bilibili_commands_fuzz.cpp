// Feeds arbitrary text to the command parser and to the readers of the web
// API's answers; the protobuf payloads are reached through "data.pb".
#include <cstdint>
#include <string_view>
#include <vector>

#include "platforms/bilibili/bilibili_api.h"
#include "platforms/bilibili/bilibili_events.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<bilibili::ChatCommand> events;
    (void)bilibili::parseCommand(text, events);
    (void)bilibili::parseRoomInit(text);
    (void)bilibili::parseNav(text);
    (void)bilibili::parseBuvid(text);
    (void)bilibili::parseDanmuInfo(text);
    (void)bilibili::authAccepted(text);
    (void)bilibili::cookieValue(text, "SESSDATA");
    std::string bytes;
    (void)bilibili::decodeBase64(text, bytes);
    return 0;
}
