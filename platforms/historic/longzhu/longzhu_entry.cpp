// Longzhu, a service that is gone.
#include "platforms/common/platform_entry.h"
#include "platforms/historic/longzhu/CLZopt.h"

namespace platforms {

namespace {

constexpr const char* kPage = "SONARO_LONGZHU_HOST";
constexpr const char* kChat = "SONARO_LONGZHU_CHAT_HOST";

}  // namespace

const PlatformEntry& longzhuEntry() {
    static const LongzhuSettings defaults;
    static const PlatformEntry entry{
        .index = 3,
        .key = "longzhu",
        .listName = "龙珠TV",
        .helpName = "Longzhu",
        .statusPrefix = CLZopt::kStatusPrefix,
        .historic = true,
        .rooms = RoomIdKind::Number,
        .hosts = {{kPage, defaults.pageHost}, {kChat, defaults.chatHost}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            LongzhuSettings settings;
            settings.pageHost = hosts.value(kPage, defaults.pageHost);
            settings.chatHost = hosts.value(kChat, defaults.chatHost);
            settings.abort = &closing;
            return std::make_unique<CLZopt>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
