// Closing the network side while the Douyu client waits on a name lookup that
// never answers, or on a connect to a peer that never accepts: the close must
// not wait on either.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "core/network_host.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "sim/historic/douyu/douyu_room.h"
#include "util/text.h"

using namespace std::chrono_literals;

namespace {

// A lookup that blocks until the test lets it go (at its very end, so the
// parked thread can leave before the process does).
struct HungLookup {
    std::mutex mutex;
    std::condition_variable released;
    bool free = false;
    bool entered = false;

    platforms::Endpoints wait(boost::system::error_code& error) {
        std::unique_lock lock(mutex);
        entered = true;
        released.wait(lock, [this] { return free; });
        error = boost::asio::error::host_not_found;
        return {};
    }
    bool wasEntered() {
        std::lock_guard lock(mutex);
        return entered;
    }
    void release() {
        std::lock_guard lock(mutex);
        free = true;
        released.notify_all();
    }
};

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

// Logs in to `room` with `settings`, dispatches statuses until `ready` holds,
// then closes and returns how long the close took.
template <typename Ready>
std::chrono::milliseconds closeWhen(const sim::DouyuRoom& room, DouyuSettings settings, Ready ready) {
    std::vector<std::string> statuses;
    MessageWindow window([&](unsigned message, std::unique_ptr<ChatEvent> record) {
        if (message == WM_FEEDER_STATUS) {
            statuses.push_back(util::localToUtf8(record->text));
        }
    });
    FeederFactories factories;
    factories[0] = [&](boost::asio::io_context& loop, MessageWindow& w, const std::atomic<bool>& closing) {
        settings.abort = &closing;
        return std::make_unique<CDouyuTv>(loop, w, settings);
    };
    NetworkHost host;
    EXPECT_TRUE(host.login(0, room.roomNumber(), window, factories));
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ready(statuses) && std::chrono::steady_clock::now() < deadline) {
        window.waitAndDispatch(10ms);
    }
    EXPECT_TRUE(ready(statuses));
    auto begin = std::chrono::steady_clock::now();
    host.shutdown(window);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
}

DouyuSettings settingsFor(const sim::DouyuRoom& room) {
    DouyuSettings s;
    s.pageHost = room.hostSettings()[0].second;
    s.loginPause = 1ms;
    s.random = [] { return 0; };
    return s;
}

bool saw(const std::vector<std::string>& statuses, const char* text) {
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
}

}  // namespace

TEST(DouyuClose, NeverWaitsOnANameLookupOrAConnect) {
    sim::DouyuRoom room({});
    {
        auto lookup = std::make_shared<HungLookup>();
        DouyuSettings settings = settingsFor(room);
        settings.chatHost = "chat.unanswered.test";
        settings.lookup = [lookup](const std::string&, const std::string&, boost::system::error_code& e) {
            return lookup->wait(e);
        };
        auto took = closeWhen(room, settings, [&](const std::vector<std::string>& statuses) {
            return saw(statuses, "开始连接弹幕服务器.") && lookup->wasEntered();
        });
        std::printf("close during a name lookup: %lld ms\n", static_cast<long long>(took.count()));
        EXPECT_LT(took, 3s);
        lookup->release();
    }
    {
        Blackhole blackhole;
        DouyuSettings settings = settingsFor(room);
        settings.chatHost = "127.0.0.1:" + std::to_string(blackhole.port);
        auto took = closeWhen(room, settings, [&](const std::vector<std::string>& statuses) {
            return saw(statuses, "开始连接弹幕服务器.");
        });
        std::printf("close during a connect: %lld ms\n", static_cast<long long>(took.count()));
        EXPECT_LT(took, 3s);
    }
}
