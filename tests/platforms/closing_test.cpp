// Closing while a client is stuck on the network: the network thread must end
// at once whatever the client is blocked in.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/network_host.h"
#include "core/platform_hosts.h"
#include "feeder_run.h"
#include "platforms/catalogue.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/http_server.h"
#include "temp_dir.h"

using namespace std::chrono_literals;

namespace {

// Pumps the window (the clients report their status before they block) until
// `ready` holds; then shuts the host down and returns how long that took.
template <typename Ready>
std::chrono::duration<double, std::milli> shutdownOnceReady(NetworkHost& host, MessageWindow& window,
                                                            Ready ready) {
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
        window.waitAndDispatch(5ms);
    }
    EXPECT_TRUE(ready());
    auto begin = std::chrono::steady_clock::now();
    host.shutdown(window);
    return std::chrono::steady_clock::now() - begin;
}

}  // namespace

TEST(Closing, EndsEveryPlatformsFetchOfAPageThatNeverAnswers) {
    sim::HttpServer silent([](const sim::HttpRequest&) {
        sim::HttpResponse response;
        response.silent = true;
        return response;
    });
    const PlatformHosts hosts = testing_support::allHostsAt(silent.hostPort());
    const FeederFactories factories = platforms::feederFactories(hosts);
    // Longzhu's cookie file goes to the current directory.
    testing_support::TempDir dir;
    const auto previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        const int before = silent.requests();
        MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
        NetworkHost host;
        ASSERT_TRUE(host.login(entry->index, "1", window, factories)) << entry->key;
        auto took = shutdownOnceReady(host, window, [&] { return silent.requests() > before; });
        std::printf("%s: closed %.1f ms into a page fetch\n", entry->key, took.count());
        EXPECT_LT(took, 3s) << entry->key;
        EXPECT_FALSE(host.serving());
    }
    std::filesystem::current_path(previousDir);
}

TEST(Closing, EndsALoginPauseAtOnce) {
    sim::DouyuRoom room(sim::RoomScript{});
    FeederFactories factories;
    factories[0] = [&](boost::asio::io_context& loop, MessageWindow& window,
                       const std::atomic<bool>& closing) {
        DouyuSettings settings;
        settings.pageHost = testing_support::hostsOf(room).value("SONARO_DOUYU_HOST");
        settings.chatHost = "127.0.0.1";
        settings.loginPause = 30s;  // the client sits in it once connected
        settings.abort = &closing;
        return std::make_unique<CDouyuTv>(loop, window, std::move(settings));
    };
    MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
    NetworkHost host;
    ASSERT_TRUE(host.login(0, room.roomNumber(), window, factories));
    auto took =
        shutdownOnceReady(host, window, [&] { return room.openConnections(sim::DouyuServer::Auth) == 1; });
    std::printf("closed %.1f ms into a login pause\n", took.count());
    EXPECT_LT(took, 3s);
}
