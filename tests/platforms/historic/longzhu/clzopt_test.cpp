#include "platforms/historic/longzhu/CLZopt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "../../client_checks.h"
#include "platforms/historic/longzhu/longzhu_reply.h"
#include "sim/historic/longzhu/longzhu_room.h"
#include "temp_dir.h"
#include "util/text.h"

using namespace std::chrono_literals;
using sim::LongzhuPageFault;
using sim::LongzhuPollFault;
using namespace testing_support;

namespace {

// Delays shortened so a restart cycle takes a few dozen milliseconds.
LongzhuSettings fastSettings(const sim::SimulatedRoom& room) {
    LongzhuSettings s;
    s.pageHost = hostsOf(room).value("SONARO_LONGZHU_HOST");
    s.chatHost = hostsOf(room).value("SONARO_LONGZHU_CHAT_HOST");
    s.replyDelayUnit = 20ms;
    s.retryDelay = 10ms;
    s.restartDelay = 30ms;
    s.fetchTimeout = 3000ms;
    return s;
}

sim::RoomScript threeEvents() {
    sim::RoomScript script;
    script.events = {
        {sim::ScriptEvent::Kind::Chat, "小明", "你好", 1, 0ms},
        {sim::ScriptEvent::Kind::Gift, "阿花", "玫瑰", 5, 0ms},
        {sim::ScriptEvent::Kind::Chat, "Bob", "hi", 1, 0ms},
    };
    return script;
}

void startClient(FeederRun& run, const sim::LongzhuRoom& room) {
    run.start(std::make_unique<CLZopt>(run.loop(), run.window(), fastSettings(room)), room);
}

class LongzhuClient : public ::testing::Test {
  protected:
    void SetUp() override {
        previousDir_ = std::filesystem::current_path();
        // The client keeps its cookies in "cookie.txt" in the current directory.
        std::filesystem::current_path(dir_.path());
    }

    void TearDown() override { std::filesystem::current_path(previousDir_); }

  private:
    testing_support::TempDir dir_;
    std::filesystem::path previousDir_;
};

}  // namespace

TEST_F(LongzhuClient, NormalStartDeliversTheRoomAndFollowsTheCursor) {
    sim::LongzhuRoom room(threeEvents());
    room.setReplyDelay(3);
    FeederRun run;
    startClient(run, room);
    ASSERT_TRUE(run.waitFor([&] { return room.polls().size() >= 2 && run.events().size() >= 5; }));

    EXPECT_EQ(run.statuses(), (std::vector<std::string>{"正在获取房间信息...", "开始接收弹幕!"}));
    EXPECT_EQ(run.events()[0].name, "龙珠");
    EXPECT_EQ(deliveries(run),
              (std::vector<std::string>{"chat 小明|你好|0", "gift 阿花|玫瑰|5", "chat Bob|hi|0"}));

    auto polls = room.polls();
    EXPECT_EQ(polls[0].target, longzhu::pollPath(room.chatRoomId(), 0, 0));
    EXPECT_EQ(polls[1].target, longzhu::pollPath(room.chatRoomId(), 3, 3));  // cursor of the first reply
    EXPECT_GE(polls[1].at - polls[0].at, 3 * 20ms);
    for (const auto& poll : polls) {
        EXPECT_EQ(poll.referer, "http://" + room.pageHost() + "/520");
    }
    EXPECT_TRUE(std::filesystem::exists("cookie.txt"));
}

// Each row: how the room page and the polls are answered, and the statuses
// this gives; a lookup among them after the first means a restart.
TEST_F(LongzhuClient, FailuresAreRetriedThenTheRoomIsLookedUpAgain) {
    constexpr auto Good = LongzhuPollFault::None;
    constexpr auto Empty = LongzhuPollFault::EmptyBody;
    constexpr auto NotJson = LongzhuPollFault::NotJson;
    const std::string look = "正在获取房间信息...", started = "开始接收弹幕!", parse = "解析弹幕失败!",
                      gaveUp = "获取弹幕失败!", noRoom = "获取房间信息失败!";
    struct Case {
        const char* what;
        LongzhuPageFault page;
        std::vector<LongzhuPollFault> plan;
        std::vector<std::string> statuses;
    } cases[] = {
        {"page unanswered", LongzhuPageFault::NoAnswer, {}, {look, noRoom, look}},
        {"page with id 0", LongzhuPageFault::ZeroId, {}, {look, noRoom, look}},
        {"two empty after a good one, twice", {}, {Good, Empty, Empty, Good, Empty, Empty}, {look, started}},
        {"three empty after a good one", {}, {Good, Empty, Empty, Empty}, {look, started, gaveUp, look}},
        {"three cut-off JSON",
         {},
         {Good, NotJson, NotJson, NotJson},
         {look, started, parse, parse, parse, gaveUp, look}},
        {"one wrong type", {}, {Good, LongzhuPollFault::WrongType}, {look, started, parse}},
        {"failing before any good reply",
         {},
         std::vector<LongzhuPollFault>(6, Empty),
         {look, started, gaveUp, look}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::LongzhuRoom room(threeEvents());
        room.setPageFault(c.page);
        room.setPollPlan(c.plan);
        testing::internal::CaptureStderr();
        FeederRun run;
        startClient(run, room);
        bool restarts = c.statuses.back() == look && c.statuses.size() > 1;
        ASSERT_TRUE(run.waitFor([&] {
            return restarts ? run.countStatus(look) >= 2 : room.polls().size() >= c.plan.size() + 2;
        }));
        run.stop();
        std::string out = testing::internal::GetCapturedStderr();

        EXPECT_EQ(firstStatuses(run, c.statuses.size()), c.statuses);
        EXPECT_EQ(room.pageRequests() > 1, restarts);
        // The restart shows on standard error only: standard output is the headless log.
        EXPECT_EQ(out.find("准备重新连接服务器...") != std::string::npos, restarts);
        // Heard once, when a good reply came before the run ended.
        bool good = std::find(c.plan.begin(), c.plan.end(), Good) != c.plan.end();
        EXPECT_EQ(run.all(WM_FEEDER_CHAT).size(), good ? 2u : 0u);
    }
}

// A reply may ask for the next poll at once (0) or in the past (-5); the
// client still waits between polls.
TEST_F(LongzhuClient, RepliesThatAskForNoWaitStillGetAFloor) {
    for (std::int32_t next : {0, -5}) {
        SCOPED_TRACE(next);
        sim::LongzhuRoom room(threeEvents());
        room.setReplyDelay(next);
        LongzhuSettings settings = fastSettings(room);
        settings.pollFloor = 100ms;
        FeederRun run;
        run.start(std::make_unique<CLZopt>(run.loop(), run.window(), settings), room);
        ASSERT_TRUE(run.waitFor([&] { return room.polls().size() >= 4; }));
        run.stop();
        auto polls = room.polls();
        // The first poll follows the lookup at once; every later one waits.
        for (std::size_t i = 2; i < polls.size(); ++i) {
            EXPECT_GE(polls[i].at - polls[i - 1].at, 100ms) << i;
        }
    }
}
