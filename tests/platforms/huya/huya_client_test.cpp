// The Huya client against the simulated room, in this process, with short delays.
#include <gtest/gtest.h>

#include "../client_checks.h"
#include "platforms/huya/CHuya.h"
#include "sim/huya/huya_room.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

HuyaSettings fastSettings(const sim::HuyaRoom& room) {
    HuyaSettings s;
    s.pageBase = room.pageBase();
    s.chatUrl = room.chatUrl();
    s.fetchTimeout = 2s;
    s.link.retry = {100ms, 100ms, 0};
    s.link.attemptSpacing = 0ms;
    return s;
}

std::vector<std::string> kGreetingDeliveries;
const sim::RoomScript kGreeting = goldenScript("huya/greeting.script", &kGreetingDeliveries);

}  // namespace

// Every page form, the room typed as a number or a name, and broken messages
// among the pushes: the client joins by both registrations and delivers the
// script, nothing of the other room's gift.
TEST(HuyaClient, JoinsFromEveryPageFormAndDeliversTheScript) {
    struct Case {
        sim::HuyaPageForm form;
        bool byName;
        bool garbage;
        std::vector<int> registrations;  // the kinds the room saw name its ids
    };
    const Case cases[] = {
        {sim::HuyaPageForm::PlayerConfig, false, false, {1, 16}},
        {sim::HuyaPageForm::RoomData, true, true, {1, 16}},
        {sim::HuyaPageForm::ProfileLp, true, false, {16}},
        {sim::HuyaPageForm::ProfileInfo, false, true, {16}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("form " + std::to_string(static_cast<int>(c.form)));
        sim::HuyaRoomOptions options;
        options.pageForm = c.form;
        sim::HuyaRoom room(kGreeting, options);
        room.setFaults({.silent = false, .garbage = c.garbage});
        HuyaSettings settings = fastSettings(room);
        settings.link.trace = true;
        testing::internal::CaptureStderr();
        FeederRun run;
        run.start(std::make_unique<CHuya>(run.loop(), run.window(), settings),
                  c.byName ? options.roomName : options.roomNumber);
        ASSERT_TRUE(run.waitFor([&] { return deliveries(run).size() >= kGreetingDeliveries.size(); }));
        EXPECT_EQ(deliveries(run), kGreetingDeliveries);
        EXPECT_EQ(firstStatuses(run, 4),
                  (std::vector<std::string>{"正在获取房间信息...", "正在连接弹幕服务器.",
                                            "连接弹幕服务器成功!", "登陆成功!"}));
        EXPECT_TRUE(run.waitFor([&] { return room.registrations() == c.registrations; }));
        run.stop();
        const std::string trace = testing::internal::GetCapturedStderr();
        EXPECT_EQ(room.chatConnections(), 1) << "a broken message drops only itself";
        EXPECT_NE(trace.find("虎牙: unread command uri 6502"), std::string::npos) << trace;
    }
}

// A room the page does not know says so on the status line, and the client
// looks again.
TEST(HuyaClient, AMissingRoomIsNamedAndLookedUpAgain) {
    for (auto fault : {sim::HuyaPageFault::NotFound, sim::HuyaPageFault::NoRoom}) {
        sim::HuyaRoom room(kGreeting);
        room.setPageFault(fault);
        FeederRun run;
        run.start(std::make_unique<CHuya>(run.loop(), run.window(), fastSettings(room)), room.roomNumber());
        ASSERT_TRUE(run.waitFor([&] { return room.pageRequests() >= 3; }));
        run.stop();
        EXPECT_TRUE(deliveries(run).empty());
        EXPECT_GE(run.countStatus("房间不存在,1秒后重试"), 2);
        EXPECT_EQ(countRetries(run), run.countStatus("房间不存在,1秒后重试"));
    }
}
