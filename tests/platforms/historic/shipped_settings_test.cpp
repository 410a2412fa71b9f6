// The timings each client ships with. The client tests run on fast settings,
// so only these checks catch a shipped delay, period or pause that drifted.
#include <gtest/gtest.h>

#include <chrono>

#include "platforms/historic/douyu/CDouyuTv.h"
#include "platforms/historic/longzhu/CLZopt.h"
#include "platforms/historic/panda/CPandaTv.h"
#include "platforms/historic/zhanqi/CZqOpt.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::microseconds;

TEST(ShippedSettings, EveryClientKeepsItsTimings) {
    // The settings the program's client factories construct.
    const DouyuSettings douyu;
    const PandaSettings panda;
    const ZhanqiSettings zhanqi;
    const LongzhuSettings longzhu;
    const std::tuple<const char*, microseconds, microseconds> cases[] = {
        {"douyu restart delay", douyu.reconnectDelay, 3s},
        {"douyu pause around logins", douyu.loginPause, 100ms},
        {"douyu first keep-alive", douyu.firstKeepAlive, 1s},
        {"douyu keep-alive period", douyu.keepAliveInterval, 10s},
        {"douyu page fetch timeout", douyu.fetchTimeout, 10s},
        {"panda restart delay", panda.restartDelay, 2s},
        {"panda heartbeat period", panda.heartbeatInterval, 5min},
        {"panda login pause", panda.pause, 100ms},
        {"panda fetch timeout", panda.fetchTimeout, 10s},
        {"zhanqi restart delay", zhanqi.restartDelay, 3s},
        {"zhanqi keep-alive period", zhanqi.keepAliveInterval, 10s},
        {"zhanqi greeting pause", zhanqi.pause, 100ms},
        {"zhanqi fetch timeout", zhanqi.fetchTimeout, 10s},
        {"longzhu first poll", longzhu.firstPoll, 200us},
        {"longzhu unit of next", longzhu.replyDelayUnit, 1s},
        {"longzhu retry delay", longzhu.retryDelay, 1s},
        {"longzhu restart delay", longzhu.restartDelay, 3s},
        {"longzhu fetch timeout", longzhu.fetchTimeout, 10s},
    };
    for (const auto& [what, shipped, expected] : cases) {
        EXPECT_EQ(shipped.count(), expected.count()) << what << " (microseconds)";
    }
}

}  // namespace
