// Huya.
#include "platforms/common/platform_entry.h"
#include "platforms/huya/CHuya.h"

namespace platforms {

namespace {

constexpr const char* kPage = "SONARO_HUYA_PAGE";
constexpr const char* kChat = "SONARO_HUYA_WS";

}  // namespace

const PlatformEntry& huyaEntry() {
    static const HuyaSettings defaults;
    static const PlatformEntry entry{
        .index = 6,
        .key = "huya",
        .listName = "虎牙直播",
        .helpName = "Huya",
        .statusPrefix = CHuya::kStatusPrefix,
        .historic = false,
        .rooms = RoomIdKind::NumberOrName,
        .hosts = {{kPage, defaults.pageBase}, {kChat, defaults.chatUrl}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            HuyaSettings settings;
            settings.pageBase = hosts.value(kPage, defaults.pageBase);
            settings.chatUrl = hosts.value(kChat, defaults.chatUrl);
            settings.closing = &closing;
            takeHosts(settings.link, hosts);
            return std::make_unique<CHuya>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
