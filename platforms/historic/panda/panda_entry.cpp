// Panda, a service that is gone.
#include "platforms/common/platform_entry.h"
#include "platforms/historic/panda/CPandaTv.h"

namespace platforms {

namespace {

constexpr const char* kHost = "SONARO_PANDA_HOST";

}  // namespace

const PlatformEntry& pandaEntry() {
    static const PandaSettings defaults;
    static const PlatformEntry entry{
        .index = 1,
        .key = "panda",
        .listName = "熊猫TV",
        .helpName = "Panda",
        .statusPrefix = CPandaTv::kStatusPrefix,
        .historic = true,
        .rooms = RoomIdKind::Number,
        .hosts = {{kHost, defaults.host}},
        .makeClient = [](const PlatformHosts& hosts, boost::asio::io_context& loop, MessageWindow& window,
                         const std::atomic<bool>& closing) -> std::unique_ptr<msgfeeder> {
            PandaSettings settings;
            settings.host = hosts.value(kHost, defaults.host);
            settings.abort = &closing;
            return std::make_unique<CPandaTv>(loop, window, std::move(settings));
        },
    };
    return entry;
}

}  // namespace platforms
