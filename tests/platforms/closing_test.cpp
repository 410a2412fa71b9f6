// Closing while a client is stuck on the network: the network thread must end
// at once whatever the client is blocked in.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "core/network_host.h"
#include "core/platform_hosts.h"
#include "feeder_run.h"
#include "platforms/catalogue.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/http_server.h"
#include "temp_dir.h"
#include "util/text.h"

using namespace std::chrono_literals;

namespace {

// A listening socket whose accept queue is full and never drained: further
// connection attempts wait on a handshake that never completes.
struct Blackhole {
    int listener = -1;
    std::vector<int> fillers;
    int port = 0;

    Blackhole() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 0);
        socklen_t length = sizeof address;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        for (int i = 0; i < 3; ++i) {
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fillers.push_back(s);
        }
    }
    ~Blackhole() {
        for (int s : fillers) {
            ::close(s);
        }
        ::close(listener);
    }
};

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
    testing_support::InDirectory cookies(dir.path());
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        const int before = silent.requests();
        MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
        NetworkHost host;
        ASSERT_TRUE(host.login(entry->index, "1", window, factories)) << entry->key;
        auto took = shutdownOnceReady(host, window, [&] { return silent.requests() > before; });
        EXPECT_LT(took, 3s) << entry->key;
        EXPECT_FALSE(host.serving());
    }
}

// The Douyu client stuck in its login pause, on a name lookup that never
// answers, or on a connect to a peer whose accept queue is full.
TEST(Closing, DouyuNeverWaitsOnALoginPauseANameLookupOrAConnect) {
    sim::DouyuRoom room(sim::RoomScript{});
    Blackhole blackhole;
    // A lookup that blocks until the test's very end, so that the parked
    // thread can leave before the process does.
    std::promise<void> gate;
    std::shared_future<void> released = gate.get_future().share();
    std::atomic<bool> entered{false};
    enum Stuck { Pause, Lookup, Connect };
    for (Stuck stuck : {Pause, Lookup, Connect}) {
        SCOPED_TRACE(stuck);
        std::atomic<bool> connecting{false};
        MessageWindow window([&](unsigned message, std::unique_ptr<ChatEvent> record) {
            connecting = connecting || (message == WM_FEEDER_STATUS &&
                                        util::localToUtf8(record->text) == "开始连接弹幕服务器.");
        });
        FeederFactories factories;
        factories[0] = [&](boost::asio::io_context& loop, MessageWindow& w,
                           const std::atomic<bool>& closing) {
            DouyuSettings s;
            s.pageHost = testing_support::hostsOf(room).value("SONARO_DOUYU_HOST");
            s.chatHost = stuck == Lookup    ? "chat.unanswered.test"
                         : stuck == Connect ? "127.0.0.1:" + std::to_string(blackhole.port)
                                            : "127.0.0.1";
            s.loginPause = stuck == Pause ? 30s : 1ms;  // the client sits in it once connected
            s.random = [] { return 0; };
            if (stuck == Lookup) {
                s.lookup = [released, &entered](const std::string&, const std::string&,
                                                boost::system::error_code& e) {
                    entered = true;
                    released.wait();
                    e = boost::asio::error::host_not_found;
                    return platforms::Endpoints{};
                };
            }
            s.abort = &closing;
            return std::make_unique<CDouyuTv>(loop, w, std::move(s));
        };
        NetworkHost host;
        ASSERT_TRUE(host.login(0, room.roomNumber(), window, factories));
        auto took = shutdownOnceReady(host, window, [&] {
            return stuck == Pause ? room.openConnections(sim::DouyuServer::Auth) == 1
                                  : connecting && (stuck == Connect || entered);
        });
        EXPECT_LT(took, 3s);
    }
    gate.set_value();
}
