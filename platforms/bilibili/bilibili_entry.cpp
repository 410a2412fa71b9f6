// Bilibili live.
#include "platforms/bilibili/CBilibili.h"
#include "platforms/common/platform_entry.h"

namespace platforms {

namespace {

constexpr const char* kApi = "SONARO_BILIBILI_API";
constexpr const char* kLiveApi = "SONARO_BILIBILI_LIVE_API";

}  // namespace

const PlatformEntry& bilibiliEntry() {
    static const BilibiliSettings defaults;
    static const PlatformEntry entry{
        .index = 4,
        .key = "bilibili",
        .listName = "哔哩哔哩",
        .helpName = "Bilibili live",
        .statusPrefix = CBilibili::kStatusPrefix,
        .historic = false,
        .rooms = RoomIdKind::Number,
        .interactions = true,
        .giftValueUnit = "按金瓜子/银瓜子计 (1000 金瓜子 = 1 元)",
        .hosts = {{kApi, defaults.apiBase}, {kLiveApi, defaults.liveApiBase}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            BilibiliSettings settings;
            settings.apiBase = hosts.value(kApi, defaults.apiBase);
            settings.liveApiBase = hosts.value(kLiveApi, defaults.liveApiBase);
            if (!hosts.dataFolder.empty()) {
                // A secret of the host's, kept beside the settings.
                settings.cookieFile = hosts.dataFolder + "/bilibili_cookie.txt";
            }
            settings.abort = &closing;
            takeHosts(settings.link, hosts);
            return std::make_unique<CBilibili>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
