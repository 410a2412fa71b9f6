#include "core/message_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/feeder.h"
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
    constexpr int kSends = 100000;
    std::vector<int> received;
    received.reserve(kSends);
    std::thread::id handlerThread;
    MessageWindow window([&](unsigned message, std::unique_ptr<ChatEvent> record) {
        EXPECT_EQ(message, WM_FEEDER_CHAT);
        handlerThread = std::this_thread::get_id();
        received.push_back(std::stoi(record->text));
    });
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
    ASSERT_EQ(received.size(), static_cast<std::size_t>(kSends));
    for (int i = 0; i < kSends; ++i) {
        ASSERT_EQ(received[i], i);
    }
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
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

TEST(MessageWindow, WakerIsCalledForEveryDelivery) {
    std::atomic<int> wakes{0};
    MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {}, [&] { ++wakes; });
    std::thread network([&] {
        for (int i = 0; i < 3; ++i) {
            sendChat(window, "a", "b");
        }
    });
    int dispatched = 0;
    while (dispatched < 3) {
        dispatched += static_cast<int>(window.waitAndDispatch(std::chrono::milliseconds(10)));
    }
    network.join();
    EXPECT_EQ(wakes, 3);
}

TEST(FeederDelivery, RecordsCarryTheirFields) {
    std::vector<std::pair<unsigned, std::unique_ptr<ChatEvent>>> got;
    MessageWindow window([&](unsigned m, std::unique_ptr<ChatEvent> r) { got.emplace_back(m, std::move(r)); });
    std::thread network([&] {
        sendChat(window, "甲", "hi");
        sendGift(window, "乙", "rose", 3);
        sendStatus(window, "P", "");
        sendEnter(window, "丙");
    });
    while (got.size() < 4) {
        window.waitAndDispatch(std::chrono::milliseconds(10));
    }
    network.join();
    EXPECT_EQ(got[0].first, 1025u);
    EXPECT_EQ(got[1].first, 1027u);
    auto* gift = dynamic_cast<GiftEvent*>(got[1].second.get());
    ASSERT_NE(gift, nullptr);
    EXPECT_EQ(gift->count, 3);
    EXPECT_EQ(gift->time, 0);
    EXPECT_EQ(got[2].first, 1028u);
    EXPECT_EQ(statusLine(*got[2].second), "P:");  // an empty status leaves prefix and colon
    EXPECT_EQ(got[3].first, 1029u);
    EXPECT_EQ(got[3].second->name, "丙");
    EXPECT_EQ(got[3].second->text, "");
}
