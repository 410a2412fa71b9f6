// Several rooms read at once by one session, each a simulated room of its own
// platform on loopback: both are heard, one room's server dying leaves the
// other reading, and closing ends them all at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/session.h"
#include "feeder_run.h"
#include "owner_loop.h"
#include "platforms/registry.h"
#include "sim/room.h"

using namespace std::chrono_literals;

namespace {

struct RoomItems : SpeechService {
    std::vector<SpeechItem> items;

    void pushText(std::string text, bool atFront) override { pushItem(SpeechItem{std::move(text)}); }
    void pushItem(SpeechItem item) override { items.push_back(std::move(item)); }
    bool addGift(const GiftEvent&) override { return true; }
    void applySettings(const SpeechSettings&) override {}
    int loginSdk() override { return 0; }
    void setSpeakObserver(SpeakObserver) override {}

    std::size_t from(const std::string& roomSuffix) const {
        return std::count_if(items.begin(), items.end(), [&](const SpeechItem& item) {
            return item.room.size() >= roomSuffix.size() &&
                   item.room.compare(item.room.size() - roomSuffix.size(), roomSuffix.size(), roomSuffix) ==
                       0;
        });
    }
};

sim::RoomScript chatter() {
    sim::RoomScript script;
    script.events = {{sim::ScriptEvent::Kind::Chat, "甲", "大家晚上好啊", 1, 50ms}};
    script.loop = true;
    return script;
}

}  // namespace

TEST(SeveralRooms, OneRoomsServerDyingLeavesTheOtherReadingAndClosingEndsBoth) {
    std::unique_ptr<sim::SimulatedRoom> rooms[] = {sim::makeRoom(4, chatter()), sim::makeRoom(5, chatter())};
    ASSERT_TRUE(rooms[0] && rooms[1]);
    PlatformHosts hosts;
    for (const auto& room : rooms) {
        for (const auto& [name, value] : room->hostSettings()) {
            setHost(hosts, name, value);
        }
    }
    const std::string tags[] = {"[" + rooms[0]->roomNumber() + "]", "[" + rooms[1]->roomNumber() + "]"};
    testing_support::OwnerLoop loop;
    std::vector<std::string> statuses;
    RoomItems* speech = nullptr;
    Session session(
        [&](boost::asio::io_context&) {
            auto fake = std::make_unique<RoomItems>();
            speech = fake.get();
            return fake;
        },
        platforms::feederFactories(hosts),
        {[&](std::function<void()> task) { loop.post(std::move(task)); },
         [&](const std::string& line) { statuses.push_back(line); }},
        {});
    SessionSettings settings;
    settings.switches = {true, true, true, true, 2, 40};
    session.apply(settings);
    ASSERT_TRUE(session.login(4, rooms[0]->roomNumber(), {{5, rooms[1]->roomNumber()}}));
    ASSERT_TRUE(
        loop.pumpUntil([&] { return speech->from(tags[0]) >= 2 && speech->from(tags[1]) >= 2; }, 20s));

    rooms[0].reset();
    const std::size_t heard = speech->from(tags[1]);
    EXPECT_TRUE(loop.pumpUntil([&] { return speech->from(tags[1]) >= heard + 5; }, 20s));
    // The dead room says so under its own name; the living one never does.
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [&](const std::string& line) {
        return line.find(tags[0]) != std::string::npos && line.find(tags[0]) < line.find(':');
    }));

    const auto begin = std::chrono::steady_clock::now();
    session.shutdown();
    const auto took = std::chrono::steady_clock::now() - begin;
    std::printf("two rooms closed in %.1f ms\n", std::chrono::duration<double, std::milli>(took).count());
    EXPECT_LT(took, 3s);
    EXPECT_FALSE(session.serving());
}
