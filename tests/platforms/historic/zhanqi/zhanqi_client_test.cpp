#include <gtest/gtest.h>

#include <memory>

#include "../../client_checks.h"
#include "platforms/historic/zhanqi/CZqOpt.h"
#include "sim/historic/zhanqi/zhanqi_room.h"

using sim::ZhanqiRoom;
using namespace testing_support;
using Statuses = std::vector<std::string>;

namespace {

// Draws come from `draws` in order, then 0.
ZhanqiSettings fastSettings(const sim::SimulatedRoom& room, std::vector<int> draws = {}) {
    ZhanqiSettings s;
    s.host = hostsOf(room).value("SONARO_ZHANQI_HOST");
    s.restartDelay = std::chrono::milliseconds(150);
    s.keepAliveInterval = std::chrono::milliseconds(30);
    s.pause = std::chrono::milliseconds(1);
    s.fetchTimeout = std::chrono::seconds(3);
    s.random = [draws, next = std::make_shared<std::size_t>(0)] {
        return *next < draws.size() ? draws[(*next)++] : 0;
    };
    return s;
}

sim::RoomScript script() {
    sim::RoomScript s;
    s.events.push_back({sim::ScriptEvent::Kind::Chat, "小明", "＃ＡＢ１ 你好 ", 1, {}});
    s.events.push_back({sim::ScriptEvent::Kind::Enter, "路人", "", 1, {}});
    s.events.push_back({sim::ScriptEvent::Kind::Gift, "阿花", "飞机", 3, std::chrono::milliseconds(10)});
    return s;
}

std::pair<std::string, int> closedAt(const char* address) {
    return {address, testing_support::refusedPort()};
}

const Statuses kLookup = {"正在获取房间信息.", "开始取得房间信息."};

Statuses operator+(Statuses a, const Statuses& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(ZhanqiClient, LogsInAndDeliversChatAndGifts) {
    ZhanqiRoom room(script());
    FeederRun run;
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings(room)), room);

    ASSERT_TRUE(run.waitFor([](const auto& events) { return events.size() >= 5; }));
    EXPECT_EQ(run.statuses(), kLookup + Statuses{"登陆成功!"});
    EXPECT_EQ(run.events()[0].name, "战旗");
    // Full-width folded, blanks kept.
    EXPECT_EQ(deliveries(run), (Statuses{"chat 小明|#AB1 你好 |0", "gift 阿花|飞机|3"}));

    // The greeting, then the keep-alive before the login, then a keep-alive per interval.
    ASSERT_TRUE(run.waitFor([&](const auto&) { return room.receivedTexts().size() >= 5; }));
    auto texts = room.receivedTexts();
    const std::string keepAlive = R"({"roomid":41532,"vod":0,"cmdid":"getdefaultuc"})";
    EXPECT_EQ(texts[0], R"({"cmdid":"svrisokreq"})");
    EXPECT_TRUE(texts[1] == keepAlive && texts[3] == keepAlive && texts[4] == keepAlive);
    EXPECT_EQ(room.pageRequests(), 1);
}

// Each row: the server list, a fault on the room's first chat server, the
// random draws (the first picks where a pass starts, the next the restart's),
// and the statuses up to the login.
TEST(ZhanqiClient, FindsAServerToLogInTo) {
    using Fault = ZhanqiRoom::ChatFault;
    const Statuses restart = Statuses{"准备重新连接服务器..."} + kLookup;
    const Statuses refused = {"连接服务器失败!", "正在连接服务器:127.0.0.1"};
    struct Case {
        const char* what;
        int chatServers;
        std::vector<std::pair<std::string, int>> leading, trailing;
        Fault fault;
        std::vector<int> draws;
        Statuses expected;
    } cases[] = {
        {"random start skips the servers before it",
         1,
         {},
         {closedAt("127.0.0.2"), closedAt("127.0.0.3")},
         Fault::None,
         {1, 0},
         kLookup + Statuses{"连接服务器失败!", "正在连接服务器:127.0.0.3", "连接服务器失败!"} + restart},
        {"host names and impossible ports fail to connect",
         1,
         {{"localhost", testing_support::refusedPort()}, {"127.0.0.1", 70000}},
         {},
         Fault::None,
         {0},
         kLookup + refused + refused},
        // A negative length moves on to the next server without a restart.
        {"negative length",
         2,
         {},
         {},
         Fault::NegativeLength,
         {0, 1},
         kLookup + Statuses{"服务器断开!", "正在连接服务器:127.0.0.1"}},
        {"text not JSON", 2, {}, {}, Fault::UnparseableJson, {0, 1}, kLookup + restart},
        {"greeting refused", 2, {}, {}, Fault::GreetingRefused, {0, 1}, kLookup + restart},
        // The greeting's write and the following read fail together: one move on.
        {"hang-up after the greeting",
         2,
         {},
         {},
         Fault::CloseAfterGreeting,
         {0, 1},
         kLookup + Statuses{"服务器断开!", "正在连接服务器:127.0.0.1"}},
    };
    for (const auto& c : cases) {
        ZhanqiRoom room(
            script(),
            {.chatServers = c.chatServers, .leadingServers = c.leading, .trailingServers = c.trailing});
        room.setChatFault(c.fault, 0);
        FeederRun run;
        run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings(room, c.draws)), room);

        ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!")) << c.what;
        EXPECT_EQ(run.statuses(), c.expected + Statuses{"登陆成功!"}) << c.what;
        EXPECT_TRUE(restartsWaited(run, fastSettings(room).restartDelay)) << c.what;
        if (c.fault != Fault::None) {
            // The faulty server never sees a login request: the next text is a new greeting.
            auto texts = room.receivedTexts();
            texts.resize(2);
            EXPECT_EQ(texts, Statuses(2, R"({"cmdid":"svrisokreq"})")) << c.what;
        }
    }
}

// The lookup's refusals are tested with the parser; here, that one is
// reported and the room looked up again until it answers.
TEST(ZhanqiClient, ABadLookupIsReportedAndRestarts) {
    ZhanqiRoom room(script());
    room.setLookupFault(ZhanqiRoom::LookupFault::BrokenViewer);
    FeederRun run;
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings(room)), room);
    ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "准备重新连接服务器..."));
    EXPECT_EQ(run.statuses(), (kLookup + Statuses{"获取房间信息失败!", "准备重新连接服务器..."}));
    room.setLookupFault(ZhanqiRoom::LookupFault::None);
    EXPECT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!"));
}
