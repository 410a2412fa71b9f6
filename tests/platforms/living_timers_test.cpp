// The living clients' timers as they ship (heartbeat, silence limit, first
// retry), driven through the injected clock against the simulated rooms: an
// answered heartbeat keeps a connection for longer than the silence limit,
// and a server that stops answering is left exactly at the limit.
#include <gtest/gtest.h>

#include "client_checks.h"
#include "manual_clock.h"
#include "platforms/bilibili/CBilibili.h"
#include "platforms/douyuws/CDouyuWs.h"
#include "platforms/huya/CHuya.h"
#include "sim/bilibili/bilibili_room.h"
#include "sim/douyuws/douyuws_room.h"
#include "sim/huya/huya_room.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

sim::RoomScript oneLine() {
    sim::RoomScript script;
    script.events = {{sim::ScriptEvent::Kind::Chat, "甲", "你好", 1, 0ms}};
    return script;
}

// A client of the shipped settings on `clock`, against a room of its own;
// `quiet`: the room answers no heartbeat.
struct Started {
    std::shared_ptr<void> room;
    std::function<std::size_t()> heartbeats;  // as the room counted them
    std::size_t scriptLines;                  // what the room says after the login
};
using Starter = std::function<Started(FeederRun&, platforms::LinkClock&, bool quiet)>;

template <typename Settings>
void onClock(Settings& settings, platforms::LinkClock& clock) {
    settings.link.clock = &clock;
    settings.link.random = [] { return 0.0; };  // no jitter: the delays as scheduled
}

Started bilibili(FeederRun& run, platforms::LinkClock& clock, bool quiet) {
    auto room = std::make_shared<sim::BilibiliRoom>(oneLine());
    room->setFault(quiet ? sim::BilibiliRoom::Fault::NoHeartbeatAnswer : sim::BilibiliRoom::Fault::None);
    BilibiliSettings settings;
    settings.apiBase = settings.liveApiBase = room->apiBase();
    onClock(settings, clock);
    run.start(std::make_unique<CBilibili>(run.loop(), run.window(), settings), room->roomNumber());
    return {room, [room] { return static_cast<std::size_t>(room->heartbeats()); }, 1};
}

Started douyu(FeederRun& run, platforms::LinkClock& clock, bool quiet) {
    auto room = std::make_shared<sim::DouyuWsRoom>(oneLine());
    room->setFaults({.refuseLogin = false, .silent = quiet});
    auto settings =
        DouyuWsSettings::withHosts(room->webBase(), room->webBase(), room->webBase(), room->chatUrl());
    onClock(settings, clock);
    run.start(std::make_unique<CDouyuWs>(run.loop(), run.window(), settings), room->roomNumber());
    return {room, [room] { return room->keepAlives().size(); }, quiet ? 0u : 1u};
}

Started huya(FeederRun& run, platforms::LinkClock& clock, bool quiet) {
    auto room = std::make_shared<sim::HuyaRoom>(oneLine());
    room->setFaults({.silent = quiet, .garbage = false});
    HuyaSettings settings;
    settings.pageBase = room->pageBase();
    settings.chatUrl = room->chatUrl();
    onClock(settings, clock);
    run.start(std::make_unique<CHuya>(run.loop(), run.window(), settings), room->roomNumber());
    return {room, [room] { return static_cast<std::size_t>(room->heartbeats()); }, 1};
}

struct Case {
    const char* name;
    Starter start;
    platforms::LinkClock::Duration heartbeat;
    platforms::LinkClock::Duration silence;
    std::size_t beatsAtLogin;  // heartbeats that go out with the login
};
const Case kClients[] = {
    {"bilibili", bilibili, 30s, 70s, 1},
    {"douyu", douyu, 45s, 100s, 0},
    {"huya", huya, 60s, 120s, 1},
};

}  // namespace

// Three intervals outlast the silence limit: only the answers, each re-arming
// it, keep a connection; a server that stops answering is left at the limit.
TEST(LivingClients, AnsweredHeartbeatsKeepTheConnectionAndSilenceEndsItAtTheLimit) {
    for (const auto& c : kClients) {
        for (bool quiet : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (quiet ? " unanswered" : " answered"));
            ManualClock clock;
            FeederRun run;
            Started client = c.start(run, clock, quiet);
            ASSERT_TRUE(run.waitFor([&] {
                return run.countStatus("登陆成功!") == 1 && deliveries(run).size() == client.scriptLines &&
                       client.heartbeats() == c.beatsAtLogin;
            }));
            if (quiet) {
                advanceOnLoop(run, clock, c.silence - 1s);
                EXPECT_EQ(countRetries(run), 0);
                advanceOnLoop(run, clock, 1s);
                EXPECT_EQ(run.statuses().back(), "服务器长时间无响应,3秒后重试");
                continue;
            }
            for (std::size_t beat = 1; beat <= 3; ++beat) {
                advanceOnLoop(run, clock, c.heartbeat - 1s);
                advanceOnLoop(run, clock, 1s);
                ASSERT_TRUE(run.waitFor([&] { return client.heartbeats() == c.beatsAtLogin + beat; }, 5s))
                    << "heartbeat " << beat << " after " << client.heartbeats();
            }
            EXPECT_EQ(countRetries(run), 0);
            EXPECT_EQ(run.countStatus("登陆成功!"), 1);
        }
    }
}
