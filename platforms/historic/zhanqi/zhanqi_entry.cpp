// Zhanqi, a service that is gone.
#include "platforms/common/platform_entry.h"
#include "platforms/historic/zhanqi/CZqOpt.h"

namespace platforms {

namespace {

constexpr const char* kHost = "SONARO_ZHANQI_HOST";

}  // namespace

const PlatformEntry& zhanqiEntry() {
    static const ZhanqiSettings defaults;
    static const PlatformEntry entry{
        .index = 2,
        .key = "zhanqi",
        .listName = "战旗TV",
        .helpName = "Zhanqi",
        .statusPrefix = CZqOpt::kStatusPrefix,
        .historic = true,
        .rooms = RoomIdKind::Number,
        .hosts = {{kHost, defaults.host}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            ZhanqiSettings settings;
            settings.host = hosts.value(kHost, defaults.host);
            settings.abort = &closing;
            return std::make_unique<CZqOpt>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
