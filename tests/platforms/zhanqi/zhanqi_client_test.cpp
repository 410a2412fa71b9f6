#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "feeder_run.h"
#include "platforms/zhanqi/CZqOpt.h"
#include "sim/zhanqi/zhanqi_room.h"

using sim::ZhanqiRoom;
using testing_support::FeederRun;
using Statuses = std::vector<std::string>;

namespace {

// Draws come from `draws` in order, then 0.
ZhanqiSettings fastSettings(std::vector<int> draws = {}) {
    ZhanqiSettings s;
    s.restartDelay = std::chrono::milliseconds(150);
    s.keepAliveInterval = std::chrono::milliseconds(30);
    s.pause = std::chrono::milliseconds(1);
    s.fetchTimeout = std::chrono::seconds(3);
    auto queue = std::make_shared<std::deque<int>>(draws.begin(), draws.end());
    s.random = [queue] {
        if (queue->empty()) {
            return 0;
        }
        int d = queue->front();
        queue->pop_front();
        return d;
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

Statuses firstStatuses(const FeederRun& run, std::size_t n) {
    auto all = run.statuses();
    all.resize(std::min(n, all.size()));
    return all;
}

int countContaining(const std::vector<std::string>& texts, const std::string& part) {
    return static_cast<int>(std::count_if(texts.begin(), texts.end(),
                                          [&](const auto& t) { return t.find(part) != std::string::npos; }));
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
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings()), room);

    ASSERT_TRUE(run.waitFor([](const auto& events) { return events.size() >= 5; }));
    EXPECT_EQ(run.statuses(), kLookup + Statuses{"登陆成功!"});
    const auto& e = run.events();
    EXPECT_EQ(e[0].name, "战旗");
    // Full-width folded, blanks kept.
    EXPECT_EQ(std::to_string(e[3].message) + "|" + e[3].name + "|" + e[3].text,
              std::to_string(WM_FEEDER_CHAT) + "|小明|#AB1 你好 ");
    EXPECT_EQ(
        std::to_string(e[4].message) + "|" + e[4].name + "|" + e[4].text + "|" + std::to_string(e[4].count),
        std::to_string(WM_FEEDER_GIFT) + "|阿花|飞机|3");

    // The greeting, then the keep-alive before the login, then a keep-alive per interval.
    ASSERT_TRUE(
        run.waitFor([&](const auto&) { return countContaining(room.receivedTexts(), "getdefaultuc") >= 3; }));
    auto texts = room.receivedTexts();
    texts.resize(2);
    EXPECT_EQ(texts,
              (Statuses{R"({"cmdid":"svrisokreq"})", R"({"roomid":41532,"vod":0,"cmdid":"getdefaultuc"})"}));
    EXPECT_EQ(room.pageRequests(), 1);
}

TEST(ZhanqiClient, RandomStartSkipsTheServersBeforeIt) {
    sim::ZhanqiRoomOptions options;
    options.trailingServers = {closedAt("127.0.0.2"), closedAt("127.0.0.3")};
    ZhanqiRoom room(script(), options);
    FeederRun run;
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings({1, 0})), room);

    ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!"));
    EXPECT_EQ(run.statuses(), (kLookup +
                               Statuses{"连接服务器失败!", "正在连接服务器:127.0.0.3", "连接服务器失败!",
                                        "准备重新连接服务器..."} +
                               kLookup + Statuses{"登陆成功!"}));
    EXPECT_EQ(room.pageRequests(), 2);
    EXPECT_EQ(room.accepted(0), 1);  // only after the restart drew the first server
    const auto& e = run.events();
    EXPECT_GE(e[6].at - e[5].at, fastSettings().restartDelay);
}

TEST(ZhanqiClient, ServerFaults) {
    struct Case {
        const char* what;
        ZhanqiRoom::ChatFault fault;
        Statuses expected;
    } cases[] = {
        // A negative length moves on to the next server without a restart.
        {"negative length", ZhanqiRoom::ChatFault::NegativeLength,
         kLookup + Statuses{"服务器断开!", "正在连接服务器:127.0.0.1", "登陆成功!"}},
        {"text not JSON", ZhanqiRoom::ChatFault::UnparseableJson,
         kLookup + Statuses{"准备重新连接服务器..."} + kLookup + Statuses{"登陆成功!"}},
        {"greeting refused", ZhanqiRoom::ChatFault::GreetingRefused,
         kLookup + Statuses{"准备重新连接服务器..."} + kLookup + Statuses{"登陆成功!"}},
    };
    for (const auto& c : cases) {
        sim::ZhanqiRoomOptions options;
        options.chatServers = 2;
        ZhanqiRoom room(script(), options);
        room.setChatFault(c.fault, 0);
        // The restart (if any) draws the second server.
        FeederRun run;
        run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings({0, 1})), room);

        ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!")) << c.what;
        EXPECT_EQ(run.statuses(), c.expected) << c.what;
        // The faulty server never sees a login request: the next text is a new greeting.
        auto texts = room.receivedTexts();
        texts.resize(2);
        EXPECT_EQ(texts, Statuses(2, R"({"cmdid":"svrisokreq"})")) << c.what;
    }
}

TEST(ZhanqiClient, BadLookupsReportFailureAndRestart) {
    for (auto fault : {ZhanqiRoom::LookupFault::EmptyPage, ZhanqiRoom::LookupFault::BrokenViewer,
                       ZhanqiRoom::LookupFault::MissingList}) {
        ZhanqiRoom room(script());
        room.setLookupFault(fault);
        FeederRun run;
        run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings()), room);

        ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "准备重新连接服务器...")) << static_cast<int>(fault);
        EXPECT_EQ(run.statuses(), (kLookup + Statuses{"获取房间信息失败!", "准备重新连接服务器..."}));
        room.setLookupFault(ZhanqiRoom::LookupFault::None);
        EXPECT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!")) << static_cast<int>(fault);
    }
}

TEST(ZhanqiClient, HangUpAfterTheGreetingRestartsOnce) {
    // The greeting's write and the following read fail on one connection.
    ZhanqiRoom room(script());
    room.setChatFault(ZhanqiRoom::ChatFault::CloseAfterGreeting);
    FeederRun run;
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings()), room);

    ASSERT_TRUE(run.waitFor([&](const auto&) { return room.pageRequests() >= 3; }));
    ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "开始取得房间信息.", 3));
    Statuses oneRound = kLookup + Statuses{"服务器断开!", "准备重新连接服务器..."};
    EXPECT_EQ(firstStatuses(run, 8), oneRound + oneRound);
}

TEST(ZhanqiClient, HostNamesAndImpossiblePortsCountAsFailedConnects) {
    sim::ZhanqiRoomOptions options;
    options.leadingServers = {{"localhost", testing_support::refusedPort()}, {"127.0.0.1", 70000}};
    ZhanqiRoom room(script(), options);
    FeederRun run;
    run.start(std::make_unique<CZqOpt>(run.loop(), run.window(), fastSettings({0})), room);

    ASSERT_TRUE(run.waitForText(WM_FEEDER_STATUS, "登陆成功!"));
    EXPECT_EQ(run.statuses(),
              (kLookup + Statuses{"连接服务器失败!", "正在连接服务器:127.0.0.1", "连接服务器失败!",
                                  "正在连接服务器:127.0.0.1", "登陆成功!"}));
}
