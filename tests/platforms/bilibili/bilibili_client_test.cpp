#include <gtest/gtest.h>

#include <fstream>

#include "../client_checks.h"
#include "platforms/bilibili/CBilibili.h"
#include "sim/bilibili/bilibili_room.h"
#include "temp_dir.h"

using sim::BilibiliRoom;
using namespace testing_support;
using namespace std::chrono_literals;

namespace {

const std::string kLookup = "正在获取房间信息...",
                  kConnect = "正在连接服务器:", kOpened = "连接成功,准备登陆", kLoggedIn = "登陆成功!",
                  kRefused = "连接失败(拒绝连接)", kRetry = "秒后重试";

BilibiliSettings fastSettings(const BilibiliRoom& room) {
    BilibiliSettings s;
    s.apiBase = room.apiBase();
    s.liveApiBase = room.apiBase();
    s.link.retry = {100ms, 100ms, 0};
    s.link.riskRetry = {100ms, 100ms, 0};
    s.link.attemptSpacing = 0ms;
    s.heartbeatInterval = 1h;
    s.authTimeout = 3s;
    s.fetchTimeout = 3s;
    return s;
}

sim::RoomScript script() {
    sim::RoomScript s;
    using Kind = sim::ScriptEvent::Kind;
    s.events = {
        {Kind::Chat, "小明", "主播好", 1, {}}, {Kind::Enter, "路*", "", 1, {}},
        {Kind::Enter, "路人", "", 1, {}},      {Kind::Gift, "竹林", "辣条", 2, {}},
        {Kind::Gift, "竹林", "辣条", 3, 20ms}, {Kind::Chat, "用***", "666", 1, 20ms},
    };
    return s;
}

const std::vector<std::string> kScriptDeliveries = {
    "chat 小明|主播好|0", "enter 路*||0",     "enter 路人||0",
    "gift 竹林|辣条|2",   "gift 竹林|辣条|3", "chat 用***|666|0",
};

void start(FeederRun& run, const BilibiliRoom& room, BilibiliSettings settings) {
    run.start(std::make_unique<CBilibili>(run.loop(), run.window(), std::move(settings)), room.roomNumber());
}

bool delivered(const FeederRun& run, std::size_t n) {
    return deliveries(run).size() >= n;
}

}  // namespace

// A short id resolved, a visitor id fetched and sent, the signed lookup
// accepted, every kind of packet read, and one heartbeat right after login.
TEST(BilibiliClient, JoinsARoomByItsShortIdAndDeliversTheScript) {
    BilibiliRoom room(script());
    FeederRun run;
    start(run, room, fastSettings(room));

    ASSERT_TRUE(
        run.waitFor([&] { return delivered(run, kScriptDeliveries.size()) && room.heartbeats() >= 1; }));
    EXPECT_EQ(run.statuses(),
              (std::vector<std::string>{kLookup, kConnect + "localhost", kOpened, kLoggedIn}));
    EXPECT_EQ(run.events()[0].name, "哔哩哔哩");
    EXPECT_EQ(deliveries(run), kScriptDeliveries);
    EXPECT_EQ(room.lastRoomLookup(), "/room/v1/Room/room_init?id=1017");
    EXPECT_EQ(room.lastAuthBody(), std::string(R"({"uid":0,"roomid":5440017,"protover":3,"buvid":")") +
                                       BilibiliRoom::kBuvid +
                                       R"(","platform":"web","type":2,"key":"sim-token-5440017"})");
    EXPECT_EQ(room.refusedSignatures(), 0);
    // The visitor id goes with every request after the first.
    auto cookies = room.cookies();
    ASSERT_GE(cookies.size(), 4u);
    EXPECT_EQ(cookies.back(), std::string("buvid3=") + BilibiliRoom::kBuvid);
    // The interval is an hour: this heartbeat was the one sent at once.
    EXPECT_EQ(room.heartbeats(), 1);
}

TEST(BilibiliClient, HeartbeatsFollowAtTheInterval) {
    BilibiliRoom room(script());
    FeederRun run;
    auto settings = fastSettings(room);
    settings.heartbeatInterval = 30ms;
    start(run, room, settings);
    ASSERT_TRUE(run.waitFor([&] { return room.heartbeats() >= 5; }));
    EXPECT_EQ(run.countStatus(kLookup), 1);
    EXPECT_EQ(room.logins(), 1);
}

// Yesterday's keys are turned down once; the client fetches new ones and the
// second signature passes. Keys that never pass make it restart.
TEST(BilibiliClient, RefusedSignatureFetchesTheKeysOnce) {
    BilibiliRoom room(script());
    room.setFault(BilibiliRoom::Fault::StaleKeysFirst);
    FeederRun run;
    start(run, room, fastSettings(room));
    ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); }));
    EXPECT_EQ(firstStatuses(run, 3),
              (std::vector<std::string>{kLookup, "签名失效,已重新获取密钥.", kConnect + "localhost"}));
    EXPECT_EQ(room.refusedSignatures(), 1);
    EXPECT_EQ(room.navRequests(), 2);

    BilibiliRoom refusing(script());
    refusing.setFault(BilibiliRoom::Fault::RefuseSignatures);
    FeederRun second;
    start(second, refusing, fastSettings(refusing));
    ASSERT_TRUE(second.waitFor([&] { return second.countStatus(kLookup) >= 3; }));
    EXPECT_EQ(firstStatuses(second, 3),
              (std::vector<std::string>{kLookup, "请求被风控拦截(-352),1秒后重试", kLookup}));
    // Fresh keys did not help: no more key fetches, one signed request per pass.
    EXPECT_EQ(refusing.navRequests(), 2);
    EXPECT_LE(refusing.refusedSignatures(), second.countStatus(kLookup) + 1);
}

TEST(BilibiliClient, DeadServersArePassedOver) {
    BilibiliRoom room(script(), {.deadServersFirst = 2});
    FeederRun run;
    start(run, room, fastSettings(room));
    ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); }));
    EXPECT_EQ(run.statuses(),
              (std::vector<std::string>{kLookup, kConnect + "127.0.0.1", kRefused, kConnect + "127.0.0.1",
                                        kRefused, kConnect + "localhost", kOpened, kLoggedIn}));

    // With no server alive the room is looked up again after the delay.
    BilibiliRoom dead(script(), {.chatServers = 0, .deadServersFirst = 2});
    FeederRun second;
    start(second, dead, fastSettings(dead));
    ASSERT_TRUE(second.waitFor([&] { return second.countStatus(kLookup) >= 2; }));
    EXPECT_EQ(firstStatuses(second, 6),
              (std::vector<std::string>{kLookup, kConnect + "127.0.0.1", kRefused, kConnect + "127.0.0.1",
                                        kRefused + ",1" + kRetry, kLookup}));
    EXPECT_TRUE(restartsWaited(second, 100ms));
}

// Each fault ends the connection with its status, and the client joins again.
TEST(BilibiliClient, ConnectionFaultsRestartAndRejoin) {
    struct Case {
        BilibiliRoom::Fault fault;
        std::string status;
        std::chrono::milliseconds heartbeat;
    } cases[] = {
        {BilibiliRoom::Fault::DropAfterScript, "服务器", 1h},
        {BilibiliRoom::Fault::MalformedPacket, "解析弹幕失败", 1h},
        {BilibiliRoom::Fault::NoHeartbeatAnswer, "服务器长时间无响应", 50ms},
        {BilibiliRoom::Fault::RefuseAuth, "登陆被拒绝(", 1h},
    };
    for (const auto& c : cases) {
        BilibiliRoom room(script());
        room.setFault(c.fault);
        FeederRun run;
        auto settings = fastSettings(room);
        settings.heartbeatInterval = c.heartbeat;
        settings.silenceLimit = 3 * c.heartbeat;
        start(run, room, settings);
        ASSERT_TRUE(run.waitFor([&] { return run.countStatus(kOpened) >= 2 && room.logins() >= 2; }))
            << c.status;
        auto statuses = run.statuses();
        auto fault = std::find_if(statuses.begin(), statuses.end(), [&](const std::string& s) {
            return s.starts_with(c.status) && s.ends_with(kRetry);
        });
        ASSERT_NE(fault, statuses.end()) << c.status;
        ASSERT_LT(fault + 1, statuses.end());
        EXPECT_EQ(fault[1], kLookup) << c.status;
    }
}

TEST(BilibiliClient, MissingRoomSaysSoAndRetriesSlowly) {
    BilibiliRoom room(script());
    FeederRun run;
    auto settings = fastSettings(room);
    run.start(std::make_unique<CBilibili>(run.loop(), run.window(), settings), "99999");
    ASSERT_TRUE(run.waitFor([&] { return run.countStatus(kLookup) >= 2; }));
    EXPECT_EQ(firstStatuses(run, 3), (std::vector<std::string>{kLookup, "房间不存在,1秒后重试", kLookup}));
    EXPECT_TRUE(restartsWaited(run, 100ms));
}

// The host's cookie logs in: its user id authenticates, its own visitor id is
// used, and nothing of it shows in a status.
TEST(BilibiliClient, CookieFileLogsInWithoutShowingIt) {
    BilibiliRoom room(script());
    TempDir dir;
    const std::string cookie = "buvid3=HOST-BUVID; SESSDATA=secret%2Cvalue; bili_jct=jct";
    std::ofstream(dir.file("bilibili_cookie.txt"), std::ios::binary) << "Cookie: " << cookie << "\n";
    FeederRun run;
    auto settings = fastSettings(room);
    settings.cookieFile = dir.file("bilibili_cookie.txt");
    start(run, room, settings);
    ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); }));
    EXPECT_EQ(firstStatuses(run, 3),
              (std::vector<std::string>{kLookup, "已使用Cookie登录.", kConnect + "localhost"}));
    EXPECT_EQ(room.lastAuthBody(),
              R"({"uid":4242,"roomid":5440017,"protover":3,"buvid":"HOST-BUVID","platform":"web","type":2,)"
              R"("key":"sim-token-5440017"})");
    EXPECT_EQ(room.cookies().back(), cookie);
    for (const auto& status : run.statuses()) {
        EXPECT_EQ(status.find("secret"), std::string::npos) << status;
    }
}
