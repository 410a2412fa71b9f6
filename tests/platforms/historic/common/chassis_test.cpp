#include <gtest/gtest.h>

#include <atomic>
#include <boost/asio/steady_timer.hpp>
#include <future>

#include "event_loop.h"
#include "platforms/historic/common/restart_timer.h"
#include "platforms/historic/common/server_entry.h"
#include "platforms/historic/common/stream_connection.h"
#include "wait.h"

using namespace std::chrono_literals;
using testing_support::LoopThread;
using testing_support::waitUntil;

namespace {

TEST(KeepAliveTimer, TicksUntilCancelledOrTold) {
    LoopThread loop;
    platforms::KeepAliveTimer keepAlive(loop.io());
    std::atomic<int> ticks{0};
    loop.call([&] { keepAlive.start(1ms, 2ms, [&] { return ++ticks < 3; }); });
    ASSERT_TRUE(waitUntil([&] { return ticks == 3; }));
    // A tick that said stop arms nothing more; a restart picks up again, and a
    // cancel right after the wait completed runs nothing.
    loop.call([&] { keepAlive.start(1ms, 1ms, [&] { return ++ticks < 1000; }); });
    ASSERT_TRUE(waitUntil([&] { return ticks >= 6; }));
    // A stray tick would be due within a millisecond: a timer due after it
    // on the same loop fires later, and marks when to look.
    boost::asio::steady_timer later(loop.io());
    std::atomic<bool> looked{false};
    int after = loop.call([&] {
        keepAlive.cancel();
        later.expires_after(5ms);
        later.async_wait([&](const boost::system::error_code&) { looked = true; });
        return ticks.load();
    });
    ASSERT_TRUE(waitUntil([&] { return looked.load(); }));
    EXPECT_EQ(ticks, after);
}

}  // namespace

// A peer that resets the connection while packets wait: the failure is
// reported once, whatever was still queued is dropped, and a connection
// abandoned meanwhile reports nothing.
TEST(StreamConnection, AWriteFailureIsReportedOnceAndDropsTheQueue) {
    namespace asio = boost::asio;
    for (bool abandonFirst : {false, true}) {
        SCOPED_TRACE(abandonFirst);
        asio::io_context serverIo;
        asio::ip::tcp::acceptor acceptor(serverIo, {asio::ip::address_v4::loopback(), 0});
        LoopThread loop;
        std::atomic<int> failures{0};
        platforms::StreamConnection connection(loop.io(), [&] { ++failures; });
        std::atomic<bool> connected{false};
        loop.call([&] {
            connection.connect({"127.0.0.1", acceptor.local_endpoint().port()},
                               [&](const boost::system::error_code& e) { connected = !e; });
        });
        asio::ip::tcp::socket peer(serverIo);
        acceptor.accept(peer);
        ASSERT_TRUE(waitUntil([&] { return connected.load(); }, 5s));
        peer.set_option(asio::socket_base::linger(true, 0));
        peer.close();  // a reset: every later write fails
        loop.call([&] {
            if (abandonFirst) {
                connection.send(std::string(1 << 20, 'x'));
                connection.close();
            }
            for (int i = 0; i < 64; ++i) {
                connection.send(std::string(1 << 16, 'y'));
            }
        });
        ASSERT_TRUE(waitUntil([&] { return failures.load() > 0; }, 5s));
        // Nothing more arrives: the queue went with the first failure, and the
        // abandoned connection's write never reports.
        loop.call([] {});
        loop.call([] {});
        EXPECT_EQ(failures.load(), 1);
        loop.call([&] { connection.close(); });
    }
}
