// Douyu as it was in 2016: the first entry of the list.
#include "platforms/common/platform_entry.h"
#include "platforms/historic/douyu/CDouyuTv.h"

namespace platforms {

namespace {

constexpr const char* kPage = "SONARO_DOUYU_HOST";
constexpr const char* kChat = "SONARO_DOUYU_CHAT_HOST";

}  // namespace

const PlatformEntry& douyuEntry() {
    static const DouyuSettings defaults;
    static const PlatformEntry entry{
        .index = 0,
        .key = "douyu",
        .listName = "斗鱼TV",
        .helpName = "Douyu",
        .statusPrefix = CDouyuTv::kStatusPrefix,
        .historic = true,
        .rooms = RoomIdKind::Number,
        .hosts = {{kPage, defaults.pageHost}, {kChat, defaults.chatHost}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            DouyuSettings settings;
            settings.pageHost = hosts.value(kPage, defaults.pageHost);
            settings.chatHost = hosts.value(kChat, defaults.chatHost);
            settings.abort = &closing;
            return std::make_unique<CDouyuTv>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
