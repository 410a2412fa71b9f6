#include "core/network_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Records where it started, then floods the dialog until the window closes.
struct FloodingFeeder : msgfeeder {
    MessageWindow& window;
    std::string& room;
    std::thread::id& thread;

    FloodingFeeder(MessageWindow& w, std::string& r, std::thread::id& t) : window(w), room(r), thread(t) {}

    void start(std::string roomId) override {
        room = roomId;
        thread = std::this_thread::get_id();
        while (sendStatus(window, "X", "flood")) {
        }
    }
};

}  // namespace

TEST(NetworkHost, LoginStartsOneFeederOffThreadAndShutdownNeverHangsOnIt) {
    std::string room = "unset";
    std::thread::id feederThread;
    std::atomic<int> delivered{0};
    MessageWindow window([&](unsigned, std::unique_ptr<ChatEvent>) { ++delivered; });
    FeederFactories factories;
    factories[2] = [&](boost::asio::io_context&, MessageWindow& w, const std::atomic<bool>&) {
        return std::make_unique<FloodingFeeder>(w, room, feederThread);
    };

    NetworkHost host;
    for (int index : {-1, 1000, 0}) {  // 0: no client built for this index; 1000: past any list
        EXPECT_FALSE(host.login(index, "1", window, factories)) << index;
    }
    ASSERT_TRUE(host.login(2, "", window, factories));
    EXPECT_FALSE(host.login(2, "again", window, factories));  // one login per run
    while (delivered < 1000) {
        window.waitAndDispatch(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(room, "");
    EXPECT_NE(feederThread, std::this_thread::get_id());

    // The feeder is blocked in a send right now.
    auto begin = std::chrono::steady_clock::now();
    host.stop(window);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_FALSE(host.serving());

    // Another room after a stop: a fresh loop, the window taking deliveries again.
    host.stop(window);
    window.reopen();
    ASSERT_TRUE(host.login(2, "next", window, factories));
    const int before = delivered;
    while (delivered < before + 10) {
        window.waitAndDispatch(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(room, "next");
    host.shutdown(window);
    EXPECT_FALSE(host.serving());
    window.reopen();
    EXPECT_FALSE(host.login(2, "after the end", window, factories));
    host.shutdown(window);  // twice is harmless
}
