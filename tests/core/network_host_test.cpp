#include "core/network_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "wait.h"

namespace {

// A feeder that reports where it started and then floods the dialog with
// status events until the window closes.
struct FloodingFeeder : msgfeeder {
    MessageWindow& window;
    std::atomic<bool>& started;
    std::string& room;
    std::thread::id& thread;

    FloodingFeeder(MessageWindow& w, std::atomic<bool>& s, std::string& r, std::thread::id& t)
        : window(w), started(s), room(r), thread(t) {}

    void start(std::string roomId) override {
        room = roomId;
        thread = std::this_thread::get_id();
        started = true;
        while (sendStatus(window, "X", "flood")) {
        }
    }
};

}  // namespace

TEST(NetworkHost, LoginStartsTheChosenFeederOnTheNetworkThread) {
    std::atomic<bool> started{false};
    std::string room;
    std::thread::id feederThread;
    std::atomic<int> delivered{0};
    MessageWindow window([&](unsigned, std::unique_ptr<ChatEvent>) { ++delivered; });
    FeederFactories factories;
    factories[2] = [&](boost::asio::io_context&, MessageWindow& w) {
        return std::make_unique<FloodingFeeder>(w, started, room, feederThread);
    };

    NetworkHost host;
    EXPECT_FALSE(host.login(-1, "1", window, factories));
    EXPECT_FALSE(host.login(4, "1", window, factories));
    EXPECT_FALSE(host.login(0, "1", window, factories));  // no client built for this index
    EXPECT_FALSE(host.serving());

    ASSERT_TRUE(host.login(2, "", window, factories));
    EXPECT_TRUE(host.serving());
    EXPECT_FALSE(host.login(2, "again", window, factories));  // one login per run
    while (delivered < 1000) {
        window.waitAndDispatch(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(room, "");
    EXPECT_NE(feederThread, std::this_thread::get_id());

    // The feeder is blocked in a send right now; shutdown must not hang on it.
    auto begin = std::chrono::steady_clock::now();
    host.shutdown(window);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_FALSE(host.serving());
    EXPECT_EQ(host.feeder(), nullptr);
}

TEST(NetworkHost, ShutdownWithoutLoginAndTwiceIsHarmless) {
    MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
    NetworkHost host;
    host.shutdown(window);
    host.shutdown(window);
    EXPECT_TRUE(window.isClosed());
}
