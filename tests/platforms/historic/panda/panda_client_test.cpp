#include <gtest/gtest.h>

#include "../../client_checks.h"
#include "platforms/historic/panda/CPandaTv.h"
#include "sim/historic/panda/panda_room.h"

using sim::PandaRoom;
using namespace testing_support;

namespace {

PandaSettings fastSettings(const sim::SimulatedRoom& room) {
    PandaSettings s;
    s.host = hostsOf(room).value("SONARO_PANDA_HOST");
    s.restartDelay = std::chrono::milliseconds(150);
    s.heartbeatInterval = std::chrono::milliseconds(40);
    s.pause = std::chrono::milliseconds(1);
    s.fetchTimeout = std::chrono::seconds(3);
    return s;
}

sim::RoomScript script() {
    sim::RoomScript s;
    s.events.push_back({sim::ScriptEvent::Kind::Chat, "小明 ", "  你好 主播  ", 1, {}});
    s.events.push_back({sim::ScriptEvent::Kind::Enter, "路人", "", 1, {}});
    s.events.push_back({sim::ScriptEvent::Kind::Gift, "竹林", "竹子", 10, {}});
    s.events.push_back({sim::ScriptEvent::Kind::Gift, "阿花", "火箭", 2, std::chrono::milliseconds(20)});
    return s;
}

std::string closedAt(const char* address) {
    return std::string(address) + ":" + std::to_string(refusedPort());
}

}  // namespace

TEST(PandaClient, LogsInAndDeliversChatAndGifts) {
    PandaRoom room(script());
    room.setChatFault(PandaRoom::ChatFault::BareFrameFirst);
    FeederRun run;
    run.start(std::make_unique<CPandaTv>(run.loop(), run.window(), fastSettings(room)), room);

    ASSERT_TRUE(run.waitFor([](const auto& events) { return events.size() >= 5; }));
    EXPECT_EQ(run.statuses(), (std::vector<std::string>{"连接成功,准备登陆", "登陆成功!"}));
    EXPECT_EQ(run.events()[0].name, "熊猫");
    EXPECT_EQ(deliveries(run),
              (std::vector<std::string>{"chat 小明 |你好 主播|0", "gift 竹林|竹子|10", "gift 阿花|火箭|2"}));
    EXPECT_EQ(room.lastLookupTarget(), "/ajax_chatinfo?roomid=10010&retry=0");
    EXPECT_EQ(room.lastLoginText(),
              "u:-47491123@134224728\nk:1\nt:300\nts:1473662127582\nsign:5f1d0a3c9b\nauthtype:3");
    // One heartbeat right after the login answer, then one per interval.
    EXPECT_TRUE(run.waitFor([&](const auto&) { return room.heartbeats() >= 3; }));
    EXPECT_EQ(room.lookups(), 1);
}

// Servers that cannot be reached are passed over (the first without a
// status); when none is left the client looks the room up again.
TEST(PandaClient, ConnectFailuresMoveOnThenRestart) {
    const std::string failed = "连接服务器失败!", restart = "准备重新连接服务器...";
    struct Case {
        const char* what;
        int chatServers;
        std::vector<std::string> leading;
        std::vector<std::string> expected;
    } cases[] = {
        {"three refusing servers",
         0,
         {closedAt("127.0.0.1"), closedAt("127.0.0.2"), closedAt("127.0.0.3")},
         {failed, "正在连接服务器:127.0.0.2", failed, "正在连接服务器:127.0.0.3", failed, restart, failed}},
        {"an address that is not numeric",
         1,
         {"localhost:" + std::to_string(testing_support::refusedPort())},
         {failed, "正在连接服务器:127.0.0.1", "连接成功,准备登陆", "登陆成功!"}},
    };
    for (const auto& c : cases) {
        PandaRoom room(script(), {.chatServers = c.chatServers, .leadingServers = c.leading});
        FeederRun run;
        run.start(std::make_unique<CPandaTv>(run.loop(), run.window(), fastSettings(room)), room);

        ASSERT_TRUE(run.waitFor([&] { return run.statuses().size() >= c.expected.size(); })) << c.what;
        EXPECT_EQ(firstStatuses(run, c.expected.size()), c.expected) << c.what;
        EXPECT_TRUE(restartsWaited(run, fastSettings(room).restartDelay)) << c.what;
        EXPECT_EQ(room.lookups() > 1, run.countStatus(restart) > 0) << c.what;
    }
}

// The parser's refusals are tested with the parser; here, that a lookup
// without a server restarts until the room answers.
TEST(PandaClient, ABadLookupRestartsUntilTheRoomAnswers) {
    PandaRoom room(script());
    room.setLookupFault(PandaRoom::LookupFault::EmptyServerList);
    FeederRun run;
    run.start(std::make_unique<CPandaTv>(run.loop(), run.window(), fastSettings(room)), room);
    ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "准备重新连接服务器...", 2));
    EXPECT_GE(room.lookups(), 2);
    EXPECT_EQ(room.logins(), 0);
    room.setLookupFault(PandaRoom::LookupFault::None);
    EXPECT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!"));
}

// A connection that fails after the login restarts once, from the lookup and
// after the delay, however many of its reads and writes fail.
TEST(PandaClient, AConnectionLostAfterTheLoginRestartsOnce) {
    struct Case {
        const char* what;
        PandaRoom::ChatFault fault;
        std::vector<std::string> statuses;
    } cases[] = {
        // The server hangs up while heartbeats go out every millisecond: the
        // read fails and writes fail around it.
        {"hang-up under heartbeats",
         PandaRoom::ChatFault::CloseAfterLogin,
         {"连接成功,准备登陆", "服务器断开!", "准备重新连接服务器...", "连接成功,准备登陆"}},
        // A batch announcing more than the receive area holds: nothing of it is read.
        {"oversized frame",
         PandaRoom::ChatFault::OversizedFrame,
         {"连接成功,准备登陆", "登陆成功!", "服务器断开!", "准备重新连接服务器...", "连接成功,准备登陆"}},
    };
    for (const auto& c : cases) {
        PandaRoom room(script());
        room.setChatFault(c.fault);
        auto settings = fastSettings(room);
        settings.heartbeatInterval = std::chrono::milliseconds(1);
        FeederRun run;
        run.start(std::make_unique<CPandaTv>(run.loop(), run.window(), settings), room);
        ASSERT_TRUE(run.waitFor([&](const auto&) { return room.lookups() >= 2 && room.logins() >= 2; }))
            << c.what;
        EXPECT_EQ(firstStatuses(run, c.statuses.size()), c.statuses) << c.what;
        EXPECT_TRUE(restartsWaited(run, settings.restartDelay)) << c.what;
        EXPECT_TRUE(deliveries(run).empty()) << c.what;
    }
}
