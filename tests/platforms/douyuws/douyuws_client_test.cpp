// Today's Douyu client against the simulated room, in this process, with
// short delays.
#include <gtest/gtest.h>

#include "../client_checks.h"
#include "platforms/common/message_bound.h"
#include "platforms/douyuws/CDouyuWs.h"
#include "sim/douyuws/douyuws_room.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/websocket_server.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

DouyuWsSettings fastSettings(const sim::DouyuWsRoom& room) {
    DouyuWsSettings s =
        DouyuWsSettings::withHosts(room.webBase(), room.webBase(), room.webBase(), room.chatUrl());
    s.link.retry = {150ms, 150ms, 0};
    s.link.attemptSpacing = 0ms;
    s.fetchTimeout = 2s;
    return s;
}

CDouyuWs* startClient(FeederRun& run, const std::string& roomNumber, DouyuWsSettings settings) {
    auto client = std::make_unique<CDouyuWs>(run.loop(), run.window(), std::move(settings));
    CDouyuWs* raw = client.get();
    run.start(std::move(client), roomNumber);
    return raw;
}

std::vector<std::string> kGreetingDeliveries;
const sim::RoomScript kGreeting = goldenScript("douyuws/greeting.script", &kGreetingDeliveries);

const std::vector<std::string> kCleanStart{"正在获取房间信息...", "正在连接弹幕服务器.",
                                           "连接弹幕服务器成功!", "登陆成功!"};

bool joined(const sim::DouyuWsRoom& room, std::size_t joins) {
    return room.joins().size() == joins && room.openChatConnections() == 1;
}

}  // namespace

TEST(DouyuWsClient, ACleanStartResolvesTheShortNumberAndDeliversTheScript) {
    // The chat proxies as the service runs them: 8506 first, then 8501 to 8505.
    std::vector<std::string> shipped;
    for (int port : {8506, 8501, 8502, 8503, 8504, 8505}) {
        shipped.push_back("wss://danmuproxy.douyu.com:" + std::to_string(port) + "/");
    }
    EXPECT_EQ(DouyuWsSettings{}.chatUrls, shipped);

    sim::DouyuWsRoom room(kGreeting);
    FeederRun run;
    CDouyuWs* client = startClient(run, room.roomNumber(), fastSettings(room));

    ASSERT_TRUE(run.waitFor([&] { return deliveries(run).size() == kGreetingDeliveries.size(); }));
    EXPECT_EQ(run.statuses(), kCleanStart);
    EXPECT_EQ(deliveries(run), kGreetingDeliveries);
    EXPECT_EQ(client->roomId(), "288016");
    EXPECT_EQ(room.logins(), std::vector<std::string>{"type@=loginreq/roomid@=288016/"});
    EXPECT_EQ(room.joins(), std::vector<std::string>{"type@=joingroup/rid@=288016/gid@=-9999/"});
    EXPECT_EQ(room.betardRequests(), 1);
    EXPECT_EQ(room.giftListRequests(3), 1);
    EXPECT_EQ(room.giftListRequests(2), 0);
    EXPECT_EQ(room.propListRequests(), 1);
}

// A room list that failed is asked for again at the next join; one that was
// read is kept for every later one.
TEST(DouyuWsClient, ADroppedConnectionIsRejoinedWithTheGiftListsKept) {
    sim::DouyuWsRoom room(kGreeting);
    room.setListFaults({.v3 = sim::DouyuWsListFault::HttpError, .v2 = sim::DouyuWsListFault::ErrorCode});
    FeederRun run;
    startClient(run, room.roomNumber(), fastSettings(room));
    for (std::size_t round = 1; round <= 3; ++round) {
        ASSERT_TRUE(run.waitFor([&] {
            return joined(room, round) && deliveries(run).size() == round * kGreetingDeliveries.size();
        })) << round;
        room.setListFaults({});
        room.dropConnections();
    }
    ASSERT_TRUE(run.waitFor([&] { return joined(room, 4); }));
    EXPECT_EQ(run.countStatus("服务器断开,1秒后重试"), 3);
    EXPECT_EQ(room.betardRequests(), 4);
    EXPECT_EQ(room.giftListRequests(3), 2);
    EXPECT_EQ(room.giftListRequests(2), 1);
    EXPECT_EQ(room.propListRequests(), 1);
    // The prop list served every round; the room's list from the second on.
    EXPECT_EQ(FeederRun::countOf(run.events(), WM_FEEDER_GIFT, "荧光棒"), 3);
    EXPECT_EQ(FeederRun::countOf(run.events(), WM_FEEDER_GIFT, "飞机"), 2);
}

// What the proxy sends right after the join, and what the client delivers of
// it: paid lines, other rooms' traffic, gift names from every source.
TEST(DouyuWsClient, MessagesAreReadByKindRoomAndGiftSource) {
    using sim::DouyuWsListFault;
    const std::string rid = sim::DouyuWsRoomOptions{}.roomId;
    const std::vector<std::string> gifts{sim::douyuWsGiftText(rid, "甲", "55555", 1, "自带名"),
                                         sim::douyuWsGiftText(rid, "乙", "20004", 2, ""),
                                         sim::douyuWsGiftText(rid, "丙", "824", 1, ""),
                                         sim::douyuWsGiftText(rid, "丁", "55555", 1, "")};
    const std::string oversized =
        sim::douyuWsChatText(rid, "巨", std::string(platforms::kMaxChatMessageBytes, 'x'));
    struct Case {
        const char* name;
        sim::DouyuWsListFaults faults;
        std::vector<std::string> texts;
        std::vector<std::string> heard;
    } cases[] = {
        {"a paid line; a broken record, another room's traffic and an oversized message passed over",
         {},
         {sim::douyuWsPaidText(rid, "大佬", "  老板大气 "),
          "type@=comm_chatmsg/rid@=" + rid + "/chatmsg@=garbage/",
          sim::douyuWsChatText("9001", "庚", "别的房间"), sim::douyuWsPaidText("9001", "庚", "别的房间"),
          sim::douyuWsGiftText("9001", "庚", "20004", 1, ""), oversized,
          sim::douyuWsChatText("", "辛", "无房间号")},
         {"paid 大佬|老板大气|0", "chat 辛|无房间号|0"}},
        {"gift names: its own, the room's v3 list, the prop list, none",
         {},
         gifts,
         {"gift 甲|自带名|1", "gift 乙|火箭|2", "gift 丙|荧光棒|1", "gift 丁|礼物|1"}},
        {"the v2 list after a v3 error code; no prop list",
         {.v3 = DouyuWsListFault::ErrorCode, .props = DouyuWsListFault::HttpError},
         gifts,
         {"gift 甲|自带名|1", "gift 乙|火箭|2", "gift 丙|礼物|1", "gift 丁|礼物|1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DouyuWsRoom room({});
        room.setListFaults(c.faults);
        std::vector<std::string> frames;
        for (const auto& text : c.texts) {
            frames.push_back(sim::douyuServerFrame(text));
        }
        room.setOpeningFrames(frames);
        FeederRun run;
        startClient(run, room.roomNumber(), fastSettings(room));
        ASSERT_TRUE(run.waitFor([&] { return deliveries(run).size() >= c.heard.size(); }));
        EXPECT_EQ(deliveries(run), c.heard);
        EXPECT_EQ(run.statuses(), kCleanStart);
    }
}

// What betard confirmed decides the join: a refused login names the typed
// number when betard could not confirm it; without betard a number joins as
// typed, and a name cannot join at all.
TEST(DouyuWsClient, TheJoinFollowsWhatBetardConfirmed) {
    using Page = sim::DouyuWsPageFault;
    const std::string rid = sim::DouyuWsRoomOptions{}.roomId;
    struct Case {
        std::string typed;
        Page page;
        bool refuse;
        std::string failure;  // empty: a clean join
    } cases[] = {
        {rid, Page::None, true, "登陆被拒绝"},
        {rid, Page::NotFound, true, "未能查到真实房间号,按输入的房间号登陆被拒绝"},
        {rid, Page::NotJson, false, ""},
        {"yyf", Page::NotJson, false, "获取房间信息失败,1秒后重试"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        sim::DouyuWsRoom room(kGreeting);
        room.setFaults({.refuseLogin = c.refuse});
        room.setPageFault(c.page);
        FeederRun run;
        startClient(run, c.typed, fastSettings(room));
        if (!c.failure.empty()) {
            ASSERT_TRUE(run.waitFor([&] { return countRetries(run) == 1; }));
            auto statuses = run.statuses();
            EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [&](const std::string& s) {
                return s.starts_with(c.failure) && s.ends_with("秒后重试");
            }));
            if (c.typed != rid) {
                continue;
            }
            room.setFaults({});  // the next pass joins
        }
        ASSERT_TRUE(run.waitFor([&] { return deliveries(run).size() == kGreetingDeliveries.size(); }));
        EXPECT_EQ(run.statuses().back(), "登陆成功!");
        if (c.failure.empty()) {
            EXPECT_EQ(run.statuses(), kCleanStart);
        }
    }
}

// A proxy whose first connection goes wrong: a garbled frame ends it, and so
// does a login never accepted (chat before `loginres` is not read). Either
// way the second connection is read from its first message.
TEST(DouyuWsClient, AConnectionThatWentWrongSpoilsNotTheNext) {
    const std::string chat =
        sim::douyuServerFrame(sim::douyuItems({{"type", "chatmsg"}, {"nn", "乙"}, {"txt", "又来了"}}));
    const std::string good = sim::douyuServerFrame("type@=loginres/") + chat;
    const std::pair<std::string, std::string> cases[] = {
        {sim::douyuServerHeader(4) + std::string(100, 'x'),
         "服务器数据出错,1秒后重试"},  // a length of less than none
        {sim::douyuServerFrame(sim::douyuItems({{"type", "chatmsg"}, {"nn", "甲"}, {"txt", "早到的话"}})),
         "登陆超时,1秒后重试"},
    };
    for (const auto& [first, status] : cases) {
        std::atomic<int> connections{0};
        sim::WebSocketServer proxy([&](sim::WebSocketPeer& peer) {
            std::string message;
            if (peer.read(message) && peer.write(++connections == 1 ? first : good)) {
                while (peer.read(message)) {
                }
            }
        });
        sim::DouyuWsRoom room({});
        DouyuWsSettings settings = fastSettings(room);
        settings.chatUrls = {proxy.url("/")};
        settings.link.loginTimeout = 300ms;
        FeederRun run;
        startClient(run, room.roomNumber(), settings);
        ASSERT_TRUE(run.waitFor([&] { return !deliveries(run).empty(); })) << status;
        EXPECT_EQ(deliveries(run), std::vector<std::string>{"chat 乙|又来了|0"});
        EXPECT_EQ(run.countStatus(status), 1);
    }
}
