// Douyu as it runs today.
#include "platforms/common/platform_entry.h"
#include "platforms/douyuws/CDouyuWs.h"

namespace platforms {

namespace {

constexpr const char* kApi = "SONARO_DOUYU_API";
constexpr const char* kGiftApi = "SONARO_DOUYU_GIFT_API";
constexpr const char* kWebconf = "SONARO_DOUYU_WEBCONF";
constexpr const char* kChatUrl = "SONARO_DOUYU_WS";

}  // namespace

const PlatformEntry& douyuwsEntry() {
    static const DouyuWsSettings defaults;
    static const PlatformEntry entry{
        .index = 5,
        .key = "douyuws",
        .listName = "斗鱼直播",
        .helpName = "Douyu today",
        .statusPrefix = CDouyuWs::kStatusPrefix,
        .historic = false,
        .rooms = RoomIdKind::Number,
        .hosts = {{kApi, defaults.apiBase},
                  {kGiftApi, defaults.giftBase},
                  {kWebconf, defaults.webconfBase},
                  {kChatUrl, ""}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            DouyuWsSettings settings = DouyuWsSettings::withHosts(
                hosts.value(kApi, defaults.apiBase), hosts.value(kGiftApi, defaults.giftBase),
                hosts.value(kWebconf, defaults.webconfBase), hosts.value(kChatUrl));
            settings.closing = &closing;
            takeHosts(settings.link, hosts);
            return std::make_unique<CDouyuWs>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
