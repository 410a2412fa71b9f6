#include "platforms/longzhu/CLZopt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "feeder_run.h"
#include "platforms/longzhu/longzhu_reply.h"
#include "sim/longzhu/longzhu_room.h"
#include "temp_dir.h"
#include "util/text.h"

using namespace std::chrono_literals;
using sim::LongzhuPageFault;
using sim::LongzhuPollFault;
using testing_support::Delivered;
using testing_support::FeederRun;

namespace {

// Delays shortened so a restart cycle takes a few dozen milliseconds.
LongzhuSettings fastSettings() {
    LongzhuSettings s;
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

class LongzhuClient : public ::testing::Test {
  protected:
    void SetUp() override {
        previousDir_ = std::filesystem::current_path();
        // The client keeps its cookies in "cookie.txt" in the current directory.
        std::filesystem::current_path(dir_.path());
    }

    void TearDown() override {
        stop();
        unsetenv(kLongzhuHostVariable);
        unsetenv(kLongzhuChatHostVariable);
        std::filesystem::current_path(previousDir_);
    }

    // A fresh room (and, at `start`, a fresh client) for each table row.
    sim::LongzhuRoom& open(sim::RoomScript script = threeEvents()) {
        stop();
        run_.reset();
        room_ = std::make_unique<sim::LongzhuRoom>(std::move(script));
        return *room_;
    }

    // Each delivery keeps the failure count of its moment: the client is
    // blocked in its send while the dialog takes it.
    void start(LongzhuSettings settings = fastSettings()) {
        run_ = std::make_unique<FeederRun>([] { return CLZopt::failCount(); });
        run_->start(std::make_unique<CLZopt>(run_->loop(), run_->window(), settings), *room_);
    }

    // Ends the client as the dialog does; what it delivered stays readable.
    void stop() {
        if (run_) {
            run_->stop();
        }
    }

    template <typename Condition>
    bool waitFor(Condition condition) {
        return run_->waitFor(condition);
    }

    const std::vector<Delivered>& received() const { return run_->events(); }
    std::vector<std::string> statuses() const { return run_->statuses(); }
    int statusCount(const std::string& text) const { return run_->countStatus(text); }

    std::unique_ptr<sim::LongzhuRoom> room_;

  private:
    testing_support::TempDir dir_;
    std::filesystem::path previousDir_;
    std::unique_ptr<FeederRun> run_;
};

}  // namespace

TEST_F(LongzhuClient, NormalStartDeliversTheRoomAndFollowsTheCursor) {
    auto& room = open();
    room.setReplyDelay(3);
    start();
    ASSERT_TRUE(waitFor([&] { return room.polls().size() >= 2 && received().size() >= 5; }));

    ASSERT_GE(received().size(), 5u);
    EXPECT_EQ(statuses(), (std::vector<std::string>{"正在获取房间信息...", "开始接收弹幕!"}));
    EXPECT_EQ(received()[0].name, "龙珠");
    auto chat = received()[2];
    EXPECT_EQ(chat.message, WM_FEEDER_CHAT);
    EXPECT_EQ(chat.name, "小明");
    EXPECT_EQ(chat.text, "你好");
    auto gift = received()[3];
    EXPECT_EQ(gift.message, WM_FEEDER_GIFT);
    EXPECT_EQ(gift.name, "阿花");
    EXPECT_EQ(gift.text, "玫瑰");
    EXPECT_EQ(gift.count, 5);
    EXPECT_EQ(received()[4].text, "hi");

    auto polls = room.polls();
    EXPECT_EQ(polls[0].target, longzhu::pollPath(room.chatRoomId(), 0, 0));
    EXPECT_EQ(polls[1].target, longzhu::pollPath(room.chatRoomId(), 3, 3));  // cursor of the first reply
    EXPECT_GE(polls[1].at - polls[0].at, 3 * 20ms);
    for (const auto& poll : polls) {
        EXPECT_EQ(poll.referer, "http://" + room.pageHost() + "/520");
    }
    EXPECT_TRUE(std::filesystem::exists("cookie.txt"));
}

// Each row: how the room page and the polls are answered; the statuses after
// the first "正在获取房间信息..." that this gives; whether a new lookup follows.
TEST_F(LongzhuClient, FailuresAreRetriedThenTheRoomIsLookedUpAgain) {
    constexpr auto Good = LongzhuPollFault::None;
    constexpr auto Empty = LongzhuPollFault::EmptyBody;
    constexpr auto Truncated = LongzhuPollFault::Truncated;
    constexpr auto NotJson = LongzhuPollFault::NotJson;
    const std::string started = "开始接收弹幕!", parse = "解析弹幕失败!", gaveUp = "获取弹幕失败!",
                      noRoom = "获取房间信息失败!";
    struct Case {
        const char* what;
        LongzhuPageFault page;
        std::vector<LongzhuPollFault> plan;
        std::vector<std::string> statuses;
        bool restarts;
    } cases[] = {
        {"page unanswered", LongzhuPageFault::NoAnswer, {}, {noRoom}, true},
        {"page without id", LongzhuPageFault::NoMarker, {}, {noRoom}, true},
        {"page with id 0", LongzhuPageFault::ZeroId, {}, {noRoom}, true},
        {"two empty after a good one, twice", {}, {Good, Empty, Empty, Good, Empty, Empty}, {started}, false},
        {"three empty after a good one", {}, {Good, Empty, Empty, Empty}, {started, gaveUp}, true},
        {"three truncated", {}, {Good, Truncated, Truncated, Truncated}, {started, gaveUp}, true},
        {"three cut-off JSON",
         {},
         {Good, NotJson, NotJson, NotJson},
         {started, parse, parse, parse, gaveUp},
         true},
        {"mixed failures", {}, {Good, Empty, NotJson, Truncated}, {started, parse, gaveUp}, true},
        {"one wrong type", {}, {Good, LongzhuPollFault::WrongType}, {started, parse}, false},
        {"failing before any good reply", {}, std::vector<LongzhuPollFault>(6, Empty), {started}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto& room = open();
        room.setPageFault(c.page);
        room.setPollPlan(c.plan);
        testing::internal::CaptureStdout();
        start();
        ASSERT_TRUE(waitFor([&] {
            return c.restarts ? statusCount("正在获取房间信息...") >= 2
                              : room.polls().size() >= c.plan.size() + 2;
        }));
        stop();
        std::string out = testing::internal::GetCapturedStdout();

        std::vector<std::string> expected = {"正在获取房间信息..."};
        expected.insert(expected.end(), c.statuses.begin(), c.statuses.end());
        if (c.restarts) {
            expected.push_back("正在获取房间信息...");
        }
        auto all = statuses();
        ASSERT_GE(all.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + expected.size()), expected);
        EXPECT_EQ(room.pageRequests() > 1, c.restarts);
        // The restart shows on standard output only, once per failed round
        // (the last lookup may finish after the window closed).
        const std::string line = "准备重新连接服务器...";
        int announced = 0;
        for (auto at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) {
            ++announced;
        }
        EXPECT_EQ(announced > 0, c.restarts);
        EXPECT_LE(announced, room.pageRequests());
        int chats = 0;
        for (const auto& r : received()) {
            chats += r.message == WM_FEEDER_CHAT;
            if (r.text == gaveUp) {
                EXPECT_EQ(r.sampled, 3);
            }
        }
        EXPECT_EQ(chats, c.page == LongzhuPageFault::None ? 2 : 0);  // the script, heard once
    }
}

TEST_F(LongzhuClient, FaultyMessageDeliversWhatCameBeforeAndPollingGoesOn) {
    auto& room = open(sim::RoomScript{});
    room.setPollPlan({LongzhuPollFault::None, LongzhuPollFault::BadMessage});
    start();
    ASSERT_TRUE(waitFor([&] { return room.polls().size() >= 4; }));
    stop();

    std::vector<std::pair<unsigned, std::string>> seen;
    for (const auto& r : received()) {
        seen.emplace_back(r.message, r.text);
    }
    std::vector<std::pair<unsigned, std::string>> expected = {
        {WM_FEEDER_STATUS, "正在获取房间信息..."},
        {WM_FEEDER_STATUS, "开始接收弹幕!"},
        {WM_FEEDER_CHAT, "before the fault"},
        {WM_FEEDER_STATUS, "解析弹幕失败!"},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(room.pageRequests(), 1);
}
