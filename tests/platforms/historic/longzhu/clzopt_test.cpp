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
    s.pageHost = hostsOf(room).longzhuPage;
    s.chatHost = hostsOf(room).longzhuChat;
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

    void TearDown() override { std::filesystem::current_path(previousDir_); }

  private:
    testing_support::TempDir dir_;
    std::filesystem::path previousDir_;
};

}  // namespace

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
