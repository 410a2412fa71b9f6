#include "core/message_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "wait.h"

namespace {

// Counts live records so a test can prove every one was freed.
std::atomic<int> liveRecords{0};

struct CountedEvent : ChatEvent {
    CountedEvent(std::string n, std::string t) : ChatEvent(std::move(n), std::move(t)) { ++liveRecords; }
    ~CountedEvent() override { --liveRecords; }
};

}  // namespace

TEST(MessageWindow, DeliversOnTheOwnerThreadInOrderAndFreesEveryRecord) {
    constexpr int kSends = 20000;
    std::vector<int> received;
    received.reserve(kSends);
    std::atomic<int> wakes{0};
    bool elsewhere = false;
    const auto owner = std::this_thread::get_id();
    MessageWindow window(
        [&](unsigned message, std::unique_ptr<ChatEvent> record) {
            elsewhere = elsewhere || message != WM_FEEDER_CHAT || std::this_thread::get_id() != owner;
            received.push_back(std::stoi(record->text));
        },
        [&] { ++wakes; });
    std::atomic<bool> senderDone{false};
    std::thread network([&] {
        for (int i = 0; i < kSends; ++i) {
            window.send(WM_FEEDER_CHAT, std::make_unique<CountedEvent>("n", std::to_string(i)));
        }
        senderDone = true;
    });
    while (!senderDone) {
        window.waitAndDispatch(std::chrono::milliseconds(10));
    }
    network.join();
    std::vector<int> expected(kSends);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_TRUE(received == expected);
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(wakes, kSends);
    EXPECT_EQ(liveRecords, 0);
}

TEST(MessageWindow, ClosingReleasesABlockedSenderAndLaterSendsReturnAtOnce) {
    std::atomic<int> handled{0};
    MessageWindow window([&](unsigned, std::unique_ptr<ChatEvent>) { ++handled; });
    std::atomic<bool> returned{false};
    std::atomic<bool> result{true};
    std::thread network([&] {
        result = window.send(WM_FEEDER_STATUS, std::make_unique<CountedEvent>("p", "blocked"));
        returned = true;
    });
    // Nobody dispatches: the sender stays blocked until the window closes.
    ASSERT_FALSE(testing_support::waitUntil([&] { return returned.load(); }, std::chrono::milliseconds(50)));
    auto closedAt = std::chrono::steady_clock::now();
    window.close();
    ASSERT_TRUE(testing_support::waitUntil([&] { return returned.load(); }, std::chrono::milliseconds(1000)));
    EXPECT_LT(std::chrono::steady_clock::now() - closedAt, std::chrono::milliseconds(100));
    network.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(window.send(WM_FEEDER_CHAT, std::make_unique<CountedEvent>("n", "late")));
    EXPECT_EQ(window.dispatchPending(), 0u);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(liveRecords, 0);
}
