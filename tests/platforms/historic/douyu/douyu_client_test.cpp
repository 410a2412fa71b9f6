// The client against the simulated room, in this process, with short delays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "../../client_checks.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/http_server.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

DouyuSettings fastSettings(const std::string& pageHost) {
    DouyuSettings s;
    s.pageHost = pageHost;
    s.chatHost = "127.0.0.1";
    s.loginPause = 1ms;
    s.reconnectDelay = 150ms;
    s.firstKeepAlive = 20ms;
    s.keepAliveInterval = 50ms;
    s.fetchTimeout = 2000ms;
    s.random = [] { return 0; };
    return s;
}

// The client on the run's network thread, joining `roomNumber`.
void startClient(FeederRun& run, const std::string& roomNumber, DouyuSettings settings) {
    run.start(std::make_unique<CDouyuTv>(run.loop(), run.window(), std::move(settings)), roomNumber);
}

sim::RoomScript greetingScript() {
    using K = sim::ScriptEvent::Kind;
    sim::RoomScript script;
    script.events = {
        {K::Enter, "乙", "", 1, 0ms},         {K::Chat, "甲", "你好世界", 1, 0ms},
        {K::Chat, " 丙 ", " a/b@c ", 1, 0ms}, {K::Gift, "丁", "鱼丸", 100, 0ms},
        {K::Gift, "丁", "飞机", 2, 0ms},      {K::Gift, "戊", "中级酬勤", 1, 0ms},
        {K::Gift, "己", "玫瑰", 3, 0ms},
    };
    return script;
}

bool joinedOnce(const sim::DouyuRoom& room) {
    return room.openConnections(sim::DouyuServer::Auth) == 1 &&
           room.openConnections(sim::DouyuServer::Chat) == 1;
}

}  // namespace

TEST(DouyuClient, CleanJoinReportsProgressAndDeliversTheScript) {
    // rt is the UTC clock read as local time (no other test here reads the zone).
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    sim::DouyuRoom room(greetingScript());
    DouyuSettings settings = fastSettings(room.hostSettings()[0].second);
    settings.utcNow = [] { return std::int64_t{1700000000}; };
    FeederRun run;
    startClient(run, room.roomNumber(), settings);

    ASSERT_TRUE(run.waitFor([&] { return run.all(WM_FEEDER_GIFT).size() == 4; }));
    EXPECT_EQ(run.statuses(),
              (std::vector<std::string>{"正在获取房间信息...", "正在连接.", "开始连接弹幕服务器.",
                                        "连接弹幕服务器成功!", "登陆成功!"}));
    // Escapes reach the dialog as sent; a gift of no known name is "礼物".
    EXPECT_EQ(deliveries(run),
              (std::vector<std::string>{"enter 乙||0", "chat 甲|你好世界|0", "chat  丙 |a@Sb@Ac|0",
                                        "gift 丁|鱼丸|100", "gift 丁|飞机|2", "gift 戊|中级酬勤|1",
                                        "gift 己|礼物|3"}));
    std::string rt = std::to_string(1700000000 - 28800);
    EXPECT_EQ(room.authLogins(),
              std::vector<std::string>{"type@=loginreq/username@=/ct@=0/password@=/roomid@=288016/"
                                       "devid@=A1B2C3D4E5F60718293A4B5C6D7E8F90/rt@=" +
                                       rt + "/vk@=" + douyu::md5Hex(rt) + "/ver@=20150929/"});
    EXPECT_EQ(
        room.chatLogins(),
        std::vector<std::string>{"type@=loginreq/username@=visitor8812/password@=8642097531864209/roompass@=/"
                                 "roomid@=288016"});
    EXPECT_EQ(room.joins(), std::vector<std::string>{"type@=joingroup/rid@=288016/gid@=1/"});
    EXPECT_TRUE(run.waitFor([&] {
        return room.keepAlives(sim::DouyuServer::Auth) >= 2 && room.keepAlives(sim::DouyuServer::Chat) >= 2;
    }));
}

TEST(DouyuClient, AFailingPassTriesFromTheChosenServerToTheEndThenRestarts) {
    sim::DouyuRoomOptions options;
    options.authServers = 4;
    sim::DouyuRoom room({}, options);
    room.setFaults(sim::DouyuServer::Auth, {.refuse = true});
    DouyuSettings settings = fastSettings(room.hostSettings()[0].second);
    settings.random = [] { return 6; };  // position 2 of 4
    settings.reconnectDelay = 300ms;
    FeederRun run;
    startClient(run, room.roomNumber(), settings);

    ASSERT_TRUE(run.waitFor([&] { return run.countStatus("正在获取房间信息...") == 2; }));
    // The second pass has begun meanwhile.
    EXPECT_EQ(firstStatuses(run, 7),
              (std::vector<std::string>{"正在获取房间信息...", "正在连接.", "服务器断开!",
                                        "正在连接服务器:127.0.0.1", "服务器断开!", "准备重新连接服务器...",
                                        "正在获取房间信息..."}));
    EXPECT_TRUE(restartsWaited(run, 300ms));
    EXPECT_TRUE(run.waitFor([&] { return room.pageRequests() == 2; }));
    EXPECT_EQ(room.authConnections(0) + room.authConnections(1), 0);
    EXPECT_TRUE(room.authConnections(2) >= 1 && room.authConnections(3) >= 1);
}

TEST(DouyuClient, TwoReadFailuresWithinTheDelayGiveOneRestart) {
    sim::DouyuRoom room(greetingScript());
    DouyuSettings settings = fastSettings(room.hostSettings()[0].second);
    settings.reconnectDelay = 1000ms;
    FeederRun run;
    startClient(run, room.roomNumber(), settings);
    ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 1 && joinedOnce(room); }));

    room.dropChatConnections();
    ASSERT_TRUE(run.waitFor([&] { return run.countStatus("弹幕服务器读取数据失败!") == 1; }));
    room.dropAuthConnections();
    ASSERT_TRUE(run.waitFor([&] { return run.countStatus("服务器断开!") == 1; }));

    ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 2 && joinedOnce(room); }));
    EXPECT_EQ(run.countStatus("准备重新连接服务器..."), 1);
    EXPECT_EQ(room.pageRequests(), 2);
}

TEST(DouyuClient, AChatServerThatKeepsDroppingIsRejoinedEveryTime) {
    sim::DouyuRoom room(greetingScript());
    FeederRun run;
    startClient(run, room.roomNumber(), fastSettings(room.hostSettings()[0].second));
    for (std::size_t round = 1; round <= 4; ++round) {
        // Each join hears the script's two chat lines before the next drop.
        ASSERT_TRUE(run.waitFor([&] {
            return room.joins().size() == round && joinedOnce(room) &&
                   run.all(WM_FEEDER_CHAT).size() == 2 * round;
        })) << round;
        room.dropChatConnections();
    }
    ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 5 && joinedOnce(room); }));
    // Still exactly one of each once both keep-alives have gone round again.
    int auth = room.keepAlives(sim::DouyuServer::Auth), chat = room.keepAlives(sim::DouyuServer::Chat);
    ASSERT_TRUE(run.waitFor([&] {
        return room.keepAlives(sim::DouyuServer::Auth) > auth + 1 &&
               room.keepAlives(sim::DouyuServer::Chat) > chat + 1;
    }));
    EXPECT_TRUE(joinedOnce(room));
    EXPECT_EQ(room.joins().size(), 5u);
    EXPECT_EQ(run.countStatus("准备重新连接服务器..."), 4);
    EXPECT_TRUE(run.waitFor([&] { return run.all(WM_FEEDER_CHAT).size() == 10u; }));
}

TEST(DouyuClient, TheGroupJoinCarriesZeroWhenNoGroupCame) {
    sim::DouyuRoomOptions options;
    options.sendGroup = false;
    sim::DouyuRoom room({}, options);
    FeederRun run;
    startClient(run, room.roomNumber(), fastSettings(room.hostSettings()[0].second));
    ASSERT_TRUE(run.waitFor([&] { return !room.joins().empty(); }));
    EXPECT_EQ(room.joins()[0], "type@=joingroup/rid@=288016/gid@=0/");
}

// Each failure shows its own status, then one restart from the page after the
// delay; none of them moves on to another authentication server.
TEST(DouyuClient, EachFailureShowsItsStatusThenRestartsFromThePage) {
    sim::HttpServer namedServer([](const sim::HttpRequest&) {
        sim::HttpResponse r;
        r.body = "{\"room_id\":288016,\"server_config\":\"" +
                 sim::douyuPageEncode(R"([{"ip":"auth.example","port":"80"}])") + "\"};";
        return r;
    });
    const std::string look = "正在获取房间信息...", restart = "准备重新连接服务器...",
                      connecting = "正在连接.", chat = "开始连接弹幕服务器.";
    struct Case {
        const char* what;
        std::function<void(sim::DouyuRoom&, DouyuSettings&)> fault;
        std::vector<std::string> statuses;  // up to the second lookup
    };
    const Case cases[] = {
        {"empty page",
         [](auto& room, auto&) { room.setPageFault(sim::DouyuPageFault::EmptyBody); },
         {look, "获取房间信息失败!", restart, look}},
        {"page without the room id",
         [](auto& room, auto&) { room.setPageFault(sim::DouyuPageFault::NoRoomId); },
         {look, "获取房间信息失败!", restart, look}},
        {"server address that is no numeric IP",
         [&](auto&, auto& s) { s.pageHost = namedServer.hostPort(); },
         {look, connecting, "连接服务器失败!", restart, look}},
        // A broken body (not header) from the authentication server.
        {"short authentication body",
         [](auto& room, auto&) { room.setFaults(sim::DouyuServer::Auth, {.shortBody = true}); },
         {look, connecting, "服务器断开!", restart, look}},
        {"unresolvable chat host",
         [](auto&, auto& s) { s.chatHost = "no-such-host.invalid"; },
         {look, connecting, chat, "DNS出错!no-such-host.invalid 无法解析!", restart, look}},
        {"refused chat connect",
         [](auto&, auto& s) { s.chatHost = "127.0.0.1:" + std::to_string(refusedPort()); },
         {look, connecting, chat, "弹幕服务器连接失败!", restart, look}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::DouyuRoomOptions options;
        options.authServers = 2;
        sim::DouyuRoom room(greetingScript(), options);
        DouyuSettings settings = fastSettings(room.hostSettings()[0].second);
        settings.reconnectDelay = 150ms;
        c.fault(room, settings);
        FeederRun run;
        startClient(run, room.roomNumber(), settings);
        ASSERT_TRUE(run.waitFor([&] { return run.countStatus(look) == 2; }));
        EXPECT_EQ(firstStatuses(run, c.statuses.size()), c.statuses);
        EXPECT_TRUE(restartsWaited(run, 150ms));
        EXPECT_EQ(room.authConnections(1), 0);  // no next server
        EXPECT_TRUE(run.all(WM_FEEDER_CHAT).empty());
    }
}
