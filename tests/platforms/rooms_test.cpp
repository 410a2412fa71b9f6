// Two rooms read at once by one session, each a simulated room of its own
// platform on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/session.h"
#include "owner_loop.h"
#include "platforms/catalogue.h"
#include "sim/room.h"

using namespace std::chrono_literals;

namespace {

struct RoomItems : SpeechService {
    std::vector<std::string> rooms;  // of every item pushed

    void pushText(std::string, bool) override {}
    void pushItem(SpeechItem item) override { rooms.push_back(item.room); }
    bool addGift(const GiftEvent&) override { return true; }
    void applySettings(const SpeechSettings&) override {}
    int loginSdk() override { return 0; }
    void setSpeakObserver(SpeakObserver) override {}

    long from(const std::string& tag) const {
        return std::count_if(rooms.begin(), rooms.end(),
                             [&](const std::string& r) { return r.ends_with(tag); });
    }
};

}  // namespace

TEST(SeveralRooms, OneRoomsServerDyingLeavesTheOtherReadingAndClosingEndsBoth) {
    sim::RoomScript chatter{{{sim::ScriptEvent::Kind::Chat, "甲", "大家晚上好啊", 1, 50ms}}, true};
    std::unique_ptr<sim::SimulatedRoom> rooms[] = {sim::makeRoom(4, chatter), sim::makeRoom(5, chatter)};
    PlatformHosts hosts;
    for (const auto& room : rooms) {
        for (const auto& [name, value] : room->hostSettings()) {
            platforms::setHost(hosts, name, value);
        }
    }
    const std::string tags[] = {"[" + rooms[0]->roomNumber() + "]", "[" + rooms[1]->roomNumber() + "]"};
    testing_support::OwnerLoop loop;
    RoomItems* speech = nullptr;
    Session session(
        [&](boost::asio::io_context&) {
            auto fake = std::make_unique<RoomItems>();
            speech = fake.get();
            return fake;
        },
        platforms::feederFactories(hosts),
        {[&](std::function<void()> task) { loop.post(std::move(task)); }, {}}, {});
    session.apply({{true, true, true, true, 2, 40}, {}});
    ASSERT_TRUE(session.login(4, rooms[0]->roomNumber(), {{5, rooms[1]->roomNumber()}}));
    ASSERT_TRUE(
        loop.pumpUntil([&] { return speech->from(tags[0]) >= 2 && speech->from(tags[1]) >= 2; }, 20s));

    rooms[0].reset();
    const long heard = speech->from(tags[1]);
    EXPECT_TRUE(loop.pumpUntil([&] { return speech->from(tags[1]) >= heard + 5; }, 20s));

    const auto begin = std::chrono::steady_clock::now();
    session.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s);
}
