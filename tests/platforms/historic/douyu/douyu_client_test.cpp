// The client against the simulated room while the room drops connections under it
// (the scripted scenarios are in ../transcript_test.cpp).
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
