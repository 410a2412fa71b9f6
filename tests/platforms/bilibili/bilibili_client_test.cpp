#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "../client_checks.h"
#include "platforms/bilibili/CBilibili.h"
#include "sim/bilibili/bilibili_room.h"
#include "temp_dir.h"
#include "util/fetch.h"

using sim::BilibiliRoom;
using namespace testing_support;
using namespace std::chrono_literals;

namespace {

const std::string kLookup = "正在获取房间信息...",
                  kConnect = "正在连接服务器:", kOpened = "连接成功,准备登陆", kLoggedIn = "登陆成功!",
                  kHidden = "游客模式,昵称被隐藏;登录见bilibili_cookie.txt", kRetry = "秒后重试";

BilibiliSettings fastSettings(const BilibiliRoom& room) {
    BilibiliSettings s;
    s.apiBase = room.apiBase();
    s.liveApiBase = room.apiBase();
    s.link.retry = {100ms, 100ms, 0};
    s.link.riskRetry = {100ms, 100ms, 0};
    s.link.attemptSpacing = 0ms;
    s.link.loginTimeout = 3s;
    s.fetchTimeout = 3s;
    return s;
}

std::vector<std::string> kScriptDeliveries;
const sim::RoomScript kScript = goldenScript("bilibili/greeting.script", &kScriptDeliveries);

void start(FeederRun& run, const BilibiliRoom& room, BilibiliSettings settings) {
    run.start(std::make_unique<CBilibili>(run.loop(), run.window(), std::move(settings)), room.roomNumber());
}

bool delivered(const FeederRun& run, std::size_t n) {
    return deliveries(run).size() >= n;
}

}  // namespace

// A short id resolved, a visitor id fetched and sent, the signed lookup
// accepted, every kind of packet read; over ws:// from a plain API base and
// over wss:// from an https:// one (the servers list distinct ports for the
// two), trusting only the certificate the test hands it.
TEST(BilibiliClient, JoinsARoomByItsShortIdOverWsOrWss) {
    TempDir dir;
    const sim::TlsIdentity identity = sim::selfSignedIdentity();
    std::ofstream(dir.file("ca.pem")) << identity.certificatePem;
    for (bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "wss" : "ws");
        BilibiliRoom room(kScript, {.tls = secure ? std::optional(identity) : std::nullopt});
        ASSERT_EQ(room.apiBase().starts_with("https://"), secure);
        FeederRun run;
        auto settings = fastSettings(room);
        settings.link.trustedCaFile = dir.file("ca.pem");
        start(run, room, settings);
        ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); }));
        EXPECT_EQ(run.statuses(),
                  (std::vector<std::string>{kLookup, kConnect + "localhost", kOpened, kLoggedIn, kHidden}));
        EXPECT_EQ(run.events()[0].name, "哔哩哔哩");
        EXPECT_EQ(deliveries(run), kScriptDeliveries);
        EXPECT_EQ(room.lastRoomLookup(), "/room/v1/Room/room_init?id=1017");
        EXPECT_EQ(room.lastAuthBody(), std::string(R"({"uid":0,"roomid":5440017,"protover":3,"buvid":")") +
                                           BilibiliRoom::kBuvid +
                                           R"(","platform":"web","type":2,"key":"sim-token-5440017"})");
        // The visitor id goes with every request after the first.
        auto cookies = room.cookies();
        ASSERT_GE(cookies.size(), 4u);
        EXPECT_EQ(cookies.back(), std::string("buvid3=") + BilibiliRoom::kBuvid);
    }
}

// Yesterday's keys are turned down once; the client fetches new ones and the
// second signature passes.
TEST(BilibiliClient, RefusedSignatureFetchesTheKeysOnce) {
    BilibiliRoom room(kScript);
    room.setFault(BilibiliRoom::Fault::StaleKeysFirst);
    FeederRun run;
    start(run, room, fastSettings(room));
    ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); }));
    EXPECT_EQ(firstStatuses(run, 3),
              (std::vector<std::string>{kLookup, "签名失效,已重新获取密钥.", kConnect + "localhost"}));
    EXPECT_EQ(room.refusedSignatures(), 1);
    EXPECT_EQ(room.navRequests(), 2);
}

// A room that does not exist, a packet that does not parse, a refused
// authentication and signatures refused even with fresh keys each name
// themselves, and the client looks the room up again (fetching no more keys).
TEST(BilibiliClient, FaultsAreNamedAndTheRoomLookedUpAgain) {
    struct Case {
        BilibiliRoom::Fault fault;
        const char* room;  // typed; empty: the room's own number
        std::string status;
    } cases[] = {
        {BilibiliRoom::Fault::None, "99999", "房间不存在,"},
        {BilibiliRoom::Fault::MalformedPacket, "", "解析弹幕失败,"},
        {BilibiliRoom::Fault::RefuseAuth, "", "登陆被拒绝("},
        {BilibiliRoom::Fault::RefuseSignatures, "", "请求被风控拦截(-352),1秒后重试"},
    };
    for (const auto& c : cases) {
        BilibiliRoom room(kScript);
        room.setFault(c.fault);
        FeederRun run;
        run.start(std::make_unique<CBilibili>(run.loop(), run.window(), fastSettings(room)),
                  *c.room ? c.room : room.roomNumber());
        const bool refused = c.fault == BilibiliRoom::Fault::RefuseSignatures;
        ASSERT_TRUE(run.waitFor([&] { return run.countStatus(kLookup) >= (refused ? 3 : 2); })) << c.status;
        if (refused) {  // one signed request a pass
            EXPECT_EQ(room.navRequests(), 2);
            EXPECT_LE(room.refusedSignatures(), run.countStatus(kLookup) + 1);
        }
        auto statuses = run.statuses();
        auto fault = std::find_if(statuses.begin(), statuses.end(), [&](const std::string& s) {
            return s.starts_with(c.status) && s.ends_with(kRetry);
        });
        ASSERT_LT(fault + 1, statuses.end()) << c.status;
        EXPECT_EQ(fault[1], kLookup) << c.status;
    }
}

// The host's cookie logs in when the nav answer confirms it: its user id
// authenticates, its own visitor id is used, and nothing of it shows. A
// lapsed cookie says so and joins as a visitor; a login the nav answer claims
// without a cookie file is not believed.
TEST(BilibiliClient, TheCookieLogsInOnlyWhenTheNavAnswerConfirmsIt) {
    const std::string cookie = "buvid3=HOST-BUVID; SESSDATA=secret%2Cvalue; bili_jct=jct";
    struct Case {
        const char* what;
        bool cookieFile;
        bool navSaysLoggedIn;  // steered by the cookie the simulated nav sees
        std::string note;      // the status after the lookup's
        std::string auth;      // the authentication's uid and buvid
    } cases[] = {
        {"logged in", true, true, "已使用Cookie登录.",
         R"("uid":4242,"roomid":5440017,"protover":3,"buvid":"HOST-BUVID")"},
        {"lapsed cookie", true, false, "Cookie已失效,以游客身份连接.", R"("uid":0,)"},
        {"login claimed without a cookie", false, true, kConnect + "localhost", R"("uid":0,)"},
    };
    for (const auto& c : cases) {
        BilibiliRoom room(kScript);
        TempDir dir;
        std::ofstream(dir.file("bilibili_cookie.txt"), std::ios::binary) << "Cookie: " << cookie << "\n";
        FeederRun run;
        auto settings = fastSettings(room);
        settings.cookieFile = c.cookieFile ? dir.file("bilibili_cookie.txt") : "";
        settings.get = [&c, &cookie](const std::string& url, const std::string& cookies) {
            util::FetchOptions options;
            bool nav = url.find("/x/web-interface/nav") != std::string::npos;
            options.cookies = nav ? (c.navSaysLoggedIn ? cookie : "buvid3=v") : cookies;
            return util::fetchPage(url, options);
        };
        start(run, room, settings);
        ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size()); })) << c.what;
        auto statuses = run.statuses();
        EXPECT_EQ(statuses[1], c.note) << c.what;
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "已使用Cookie登录."),
                  c.note == "已使用Cookie登录.")
            << c.what;
        EXPECT_NE(room.lastAuthBody().find(c.auth), std::string::npos) << c.what << room.lastAuthBody();
        EXPECT_EQ(room.cookies().back() == cookie, c.cookieFile) << c.what;
        // Logged in, an asterisk is part of a name.
        EXPECT_EQ(deliveries(run).back(),
                  c.note == "已使用Cookie登录." ? "chat 用***|666|0" : "chat 用某|666|0");
        for (const auto& status : statuses) {
            EXPECT_EQ(status.find("secret"), std::string::npos) << status;
        }
    }
}

// A visitor's room as the service runs it: names masked and a notice saying
// so, then a follow, a share and a like, a command this program does not read,
// named once however often it comes, and a hostile 4 MB chat line in an 8 KB
// bundle.
TEST(BilibiliClient, AVisitorHearsMaskedNamesAndTheRoomsGestures) {
    sim::BilibiliRoomOptions options;
    options.maskNamesForVisitors = true;
    options.afterScript = {
        BilibiliRoom::interactCommand("阿***", 2, false),
        BilibiliRoom::interactCommand("阿***", 3, true),
        BilibiliRoom::likeCommand(7, "小***"),
        BilibiliRoom::wideCommand("DANMU_MSG", 4u << 20),
        R"({"cmd":"POPULARITY_RED_POCKET_NEW","data":{}})",
        R"({"cmd":"POPULARITY_RED_POCKET_NEW","data":{}})",
        BilibiliRoom::likeCommand(8, "竹林"),  // the last: all before it was read
    };
    BilibiliRoom room(kScript, options);
    std::mutex mutex;
    std::vector<std::string> unread;
    BilibiliSettings settings = fastSettings(room);
    settings.unreadCommand = [&](std::string_view name, std::size_t) {
        std::lock_guard lock(mutex);
        unread.emplace_back(name);
    };
    FeederRun run;
    start(run, room, settings);
    ASSERT_TRUE(run.waitFor([&] { return delivered(run, kScriptDeliveries.size() + 4); }));
    EXPECT_EQ(deliveries(run),
              (std::vector<std::string>{"chat 小某|主播好|0", "enter 路某||0", "enter 路某||0",
                                        "gift 竹某|辣条|2", "gift 竹某|辣条|3", "chat 用某|666|0",
                                        "follow 阿某", "share 阿某", "like 小某", "like 竹林"}));
    EXPECT_EQ(run.countStatus(kHidden), 1);
    std::lock_guard lock(mutex);
    EXPECT_EQ(unread, (std::vector<std::string>{"WATCHED_CHANGE", "DANMU_MSG", "POPULARITY_RED_POCKET_NEW"}));
}
