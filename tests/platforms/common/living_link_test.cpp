// The living machinery once for every client: its schedule on a hand-driven
// clock, the rotation, the login and silence timers, the upgrade's headers and
// the words for each way a connection fails, against servers in this process.
#include "platforms/common/living_link.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "../manual_clock.h"
#include "event_loop.h"
#include "platforms/common/web_agents.h"
#include "sim/websocket_server.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

using namespace platforms;
using namespace std::chrono_literals;
using testing_support::LoopThread;
using testing_support::ManualClock;
using testing_support::waitUntil;

namespace {

// A link on its own loop whose statuses are taken as they come. The client is
// a toy: it logs in with "login" and counts as accepted on "ok".
struct Rig {
    explicit Rig(std::vector<std::string> urls, LivingLinkSettings settings = {},
                 std::optional<LinkFailure> lookupFailure = std::nullopt)
        : window(
              [this](unsigned, std::unique_ptr<ChatEvent> e) {
                  std::lock_guard lock(mutex);
                  statuses.push_back(util::localToUtf8(e->text));
              },
              [this] { window.dispatchPending(); }) {
        settings.statusPrefix = "测试";
        settings.retry.jitter = 0;
        settings.riskRetry.jitter = 0;
        settings.clock = &clock;
        settings.limits.handshake = 500ms;
        LinkHooks hooks;
        hooks.lookup = [=](const std::atomic<bool>&) {
            return LinkPlan{urls, "SESSDATA=s3cret", lookupFailure, {}};
        };
        hooks.opened = [this] { link->send("login"); };
        hooks.received = [this](std::string message) {
            if (message == "ok") {
                link->loggedIn();
            }
        };
        link = std::make_unique<LivingLink>(loop.io(), window, settings, std::move(hooks));
    }
    ~Rig() {
        loop.call([this] { link.reset(); });
    }

    void start() {
        loop.call([this] { link->start(); });
    }
    // Lets the network finish: the link waits on its clock or its server.
    void settle() {
        EXPECT_TRUE(waitUntil([&] { return !loop.call([&] { return link->busy(); }); }));
    }
    // Settles, then moves the clock to the next wait.
    bool step() {
        settle();
        return loop.call([&] { return clock.runNext(); });
    }
    void advance(LinkClock::Duration span) {
        settle();
        loop.call([&] { clock.advance(span); });
    }
    LinkClock::Duration elapsed() {
        return loop.call([&] { return clock.now(); }) - start_;
    }
    std::vector<std::string> retries() {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const auto& s : statuses) {
            if (s.ends_with("秒后重试")) {
                out.push_back(s);
            }
        }
        return out;
    }
    bool joined() {
        return loop.call([&] { return link->joined(); });
    }

    ManualClock clock;
    LinkClock::TimePoint start_ = clock.now();
    std::mutex mutex;
    std::vector<std::string> statuses;
    MessageWindow window;
    LoopThread loop;
    std::unique_ptr<LivingLink> link;
};

std::string refusedUrl() {
    return "ws://127.0.0.1:" + std::to_string(testing_support::refusedPort()) + "/";
}

// Answers "login" with "ok".
sim::WebSocketServer::Script chatScript() {
    return [](sim::WebSocketPeer& peer) {
        std::string message;
        while (peer.read(message)) {
            if (message == "login") {
                peer.write("ok");
            }
        }
    };
}

}  // namespace

// Half an hour of a server that refuses, and of the service's risk control:
// the tries follow the doubling schedule exactly, up to its ceiling.
TEST(LivingLink, BacksOffUpToItsCeiling) {
    struct Case {
        const char* what;
        std::optional<LinkFailure> lookupFailure;
        std::size_t lookups;
        std::vector<std::string> firstRetries;
        std::string lastRetry;
    } cases[] = {
        {"refused",
         std::nullopt,
         12,  // at 0, 3, 9, 21, 45, 93, 189 and 381 s, then every 300 s
         {"连接失败(拒绝连接),3秒后重试", "连接失败(拒绝连接),6秒后重试", "连接失败(拒绝连接),12秒后重试"},
         "连接失败(拒绝连接),300秒后重试"},
        {"risk control",
         LinkFailure{LinkFailure::Kind::RiskControl, "-352"},
         6,  // at 0, 60, 180, 420 and 900 s, then every 600 s
         {"请求被风控拦截(-352),60秒后重试", "请求被风控拦截(-352),120秒后重试",
          "请求被风控拦截(-352),240秒后重试"},
         "请求被风控拦截(-352),600秒后重试"},
    };
    for (const auto& c : cases) {
        Rig rig({refusedUrl()}, {}, c.lookupFailure);
        rig.start();
        while (rig.elapsed() < 30min) {
            ASSERT_TRUE(rig.step()) << c.what;
        }
        rig.settle();
        EXPECT_EQ(rig.link->lookups(), c.lookups + 1) << c.what;  // the one that began at the end
        EXPECT_EQ(rig.link->attempts(), c.lookupFailure ? 0 : c.lookups + 1) << c.what;
        auto retries = rig.retries();
        EXPECT_EQ(retries.back(), c.lastRetry) << c.what;
        retries.resize(3);
        EXPECT_EQ(retries, c.firstRetries) << c.what;
    }
}

// A join that holds for a minute starts the schedule over; a shorter one does not.
TEST(LivingLink, AJoinThatHoldsResetsTheBackOff) {
    sim::WebSocketServer server(chatScript());
    for (auto [held, expected] :
         {std::pair{59s, "服务器断开,12秒后重试"}, std::pair{60s, "服务器断开,3秒后重试"}}) {
        server.setRefuse(true);
        Rig rig({server.url()});
        rig.start();
        rig.step();  // the first retry, after 3 s, fails again
        rig.settle();
        server.setRefuse(false);
        ASSERT_TRUE(rig.step());  // the second, after 6 s, joins
        ASSERT_TRUE(waitUntil([&] { return rig.joined(); }));
        rig.advance(held);
        server.dropConnections();
        ASSERT_TRUE(waitUntil([&] { return rig.retries().size() == 3; }));
        EXPECT_EQ(rig.retries().back(), expected);
    }
}

// A list of twenty servers: eight are tried, a second apart, then the pass ends.
TEST(LivingLink, TriesAtMostEightServersASecondApart) {
    std::vector<std::string> urls;
    for (int i = 0; i < 20; ++i) {
        urls.push_back(refusedUrl());
    }
    Rig rig(urls);
    rig.start();
    for (rig.settle(); rig.retries().empty(); rig.settle()) {
        ASSERT_TRUE(rig.loop.call([&] { return rig.clock.runNext(); }));
    }
    EXPECT_EQ(rig.link->attempts(), 8u);
    EXPECT_EQ(rig.elapsed(), 7s);
}

// How each failure reads on the status line.
TEST(LivingLink, SaysWhyAConnectionFailed) {
    const sim::TlsIdentity trusted = sim::selfSignedIdentity();
    const sim::TlsIdentity stranger = sim::selfSignedIdentity();
    testing_support::TempDir dir;
    std::ofstream(dir.file("ca.pem")) << trusted.certificatePem;
    sim::TcpServer mute([](sim::Connection& c) {
        std::string ignored;
        c.readExact(1 << 20, ignored);
    });
    sim::WebSocketServer closing(
        [](sim::WebSocketPeer& peer) {
            std::string message;
            peer.read(message);
            peer.closeWith(4001);
        },
        trusted);
    sim::WebSocketServer untrusted(chatScript(), stranger);
    sim::WebSocketServer pinging([](sim::WebSocketPeer& peer) {
        while (peer.ping()) {
        }
    });
    struct Case {
        std::string url;
        std::string status;
    } cases[] = {
        {refusedUrl(), "连接失败(拒绝连接),"},
        {"ws://127.0.0.1:" + std::to_string(mute.port()) + "/", "连接失败(超时),"},
        {"ws://no.such.host.test/", "连接失败(无法解析域名:no.such.host.test),"},
        {untrusted.url(), "连接失败(证书被拒绝:self-signed certificate),"},
        {closing.url(), "服务器关闭了连接(关闭码4001),"},
        {pinging.url(), "服务器发送过多ping,已断开,"},
    };
    for (const auto& c : cases) {
        LivingLinkSettings settings;
        settings.trustedCaFile = dir.file("ca.pem");
        Rig rig({c.url}, settings);
        rig.start();
        ASSERT_TRUE(waitUntil([&] { return !rig.retries().empty(); }, 10s)) << c.url;
        EXPECT_TRUE(rig.retries().front().starts_with(c.status)) << rig.retries().front();
    }
}

// Connect failures that no case above names still say which error ended them.
TEST(LivingLink, AnyConnectFailureKeepsItsErrorCode) {
    namespace asio = boost::asio;
    const auto text = [](boost::system::error_code error) {
        WebSocketConnection::Failure failure;
        failure.stage = WebSocketConnection::Stage::Connect;
        failure.error = error;
        return linkFailureOf(failure).text();
    };
    EXPECT_EQ(text(asio::error::connection_refused), "连接失败(拒绝连接)");
    EXPECT_EQ(text(asio::error::network_unreachable), "连接失败(错误码" + std::to_string(ENETUNREACH) + ")");
}

// The upgrade carries the browser identity, the Origin and the plan's cookie,
// over wss:// with the test's own certificate.
TEST(LivingLink, UpgradeCarriesTheBrowserIdentity) {
    const sim::TlsIdentity certificate = sim::selfSignedIdentity();
    testing_support::TempDir dir;
    std::ofstream(dir.file("ca.pem")) << certificate.certificatePem;
    sim::WebSocketServer server(chatScript(), certificate);
    for (std::string agent : {std::string(), std::string("Mozilla/5.0 (X11; Linux x86_64) Test/1.0")}) {
        LivingLinkSettings settings;
        settings.trustedCaFile = dir.file("ca.pem");
        settings.origin = "https://live.example.com";
        settings.userAgent = agent;
        Rig rig({"wss://localhost:" + std::to_string(server.port()) + "/sub"}, settings);
        rig.start();
        ASSERT_TRUE(waitUntil([&] { return rig.joined(); }));
        auto headers = server.requests().back().headers;
        EXPECT_EQ(headers["user-agent"], agent.empty() ? kBrowserAgent : agent);
        EXPECT_EQ(headers["origin"], "https://live.example.com");
        EXPECT_EQ(headers["cookie"], "SESSDATA=s3cret");
    }
}
