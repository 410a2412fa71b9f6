#include "platforms/common/websocket_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "../golden.h"
#include "event_loop.h"
#include "feeder_run.h"
#include "sim/websocket_server.h"
#include "wait.h"

using platforms::WebSocketConnection;
using Stage = WebSocketConnection::Stage;
using testing_support::LoopThread;
using testing_support::waitUntil;

namespace {

TEST(WebSocketUrl, GoldenUrls) {
    auto cases = testing_support::goldenCases("websocket/urls.golden");
    ASSERT_GE(cases.size(), 18u);
    for (const auto& c : cases) {
        auto p = platforms::parseWebSocketUrl(c.in);
        EXPECT_EQ(p ? (p->secure ? "wss " : "ws ") + p->host + " " + p->port + " " + p->target : "invalid",
                  c.out)
            << c.in;
    }
}

// What one connection reported, filled on the loop and read there too.
struct Record {
    std::vector<std::string> messages;
    std::vector<Stage> failures;
    int opened = 0;

    WebSocketConnection::Handlers handlers() {
        return {[this] { ++opened; }, [this](std::string m) { messages.push_back(std::move(m)); },
                [this](const WebSocketConnection::Failure& f) { failures.push_back(f.stage); }};
    }
    std::size_t messageCount(LoopThread& loop) {
        return loop.call([this] { return messages.size(); });
    }
};

TEST(WebSocketConnection, SendsInOrderAndReceivesWholeMessages) {
    // The server answers each message with two: the message and its size.
    // Its ping before them wakes a write that waits behind another.
    sim::WebSocketServer server([](sim::WebSocketPeer& peer) {
        std::string m;
        while (peer.read(m)) {
            peer.ping();
            peer.write(m);
            peer.write(std::to_string(m.size()));
        }
    });
    // The name gives a dead address first: the next one is tried.
    auto lookup = [&](const std::string& host, const std::string&, boost::system::error_code&) {
        EXPECT_EQ(host, "chat.example.test");
        auto loopback = boost::asio::ip::address_v4::loopback();
        return platforms::Endpoints{{loopback, static_cast<std::uint16_t>(testing_support::refusedPort())},
                                    {loopback, server.port()}};
    };
    LoopThread loop;
    Record record;
    WebSocketConnection ws(loop.io(), lookup);
    std::string big(300000, '\x01');
    loop.call([&] {
        ws.open("ws://chat.example.test:1/sub", record.handlers());
        ws.send(std::string("a\0b", 3));  // queued before the connection is open
    });
    ASSERT_TRUE(waitUntil([&] { return record.messageCount(loop) == 2; }));
    // Sent while the first is still being written: they wait their turn.
    loop.call([&] {
        ws.send(big);
        ws.send("c");
    });
    ASSERT_TRUE(waitUntil([&] { return record.messageCount(loop) == 6; }));
    loop.call([&] { ws.send("d"); });
    ASSERT_TRUE(waitUntil([&] { return record.messageCount(loop) == 8; }));
    EXPECT_EQ(server.targets(), std::vector<std::string>{"/sub"});
    EXPECT_TRUE(loop.call([&] { return ws.isOpen(); }));
    loop.call([&] { ws.close(); });
    loop.stop();
    EXPECT_EQ(record.messages,
              (std::vector<std::string>{std::string("a\0b", 3), "3", big, "300000", "c", "1", "d", "1"}));
    EXPECT_EQ(record.opened, 1);
    EXPECT_TRUE(record.failures.empty());
}

TEST(WebSocketConnection, AnAbandonedConnectionReportsNothing) {
    sim::WebSocketServer server([](sim::WebSocketPeer& peer) {
        std::string m;
        while (peer.read(m)) {
            peer.write(m);
        }
    });
    LoopThread loop;
    Record first;
    Record second;
    WebSocketConnection ws(loop.io());
    unsigned generation = 0;
    loop.call([&] {
        ws.open(server.url(), first.handlers());
        generation = ws.generation();
        ws.send("first");
    });
    ASSERT_TRUE(waitUntil([&] { return first.messageCount(loop) == 1; }));
    loop.call([&] {
        // The server's echo of "again" may already be on its way when the
        // connection is replaced; it must not reach the new handlers.
        ws.send("again");
        ws.open(server.url(), second.handlers());
        ws.send("second");
    });
    ASSERT_TRUE(waitUntil([&] { return second.messageCount(loop) == 1; }));
    EXPECT_NE(loop.call([&] { return ws.generation(); }), generation);
    loop.call([&] { ws.close(); });
    server.dropConnections();
    loop.call([&] {});
    loop.stop();
    EXPECT_EQ(first.messages, std::vector<std::string>{"first"});
    EXPECT_TRUE(first.failures.empty());
    EXPECT_TRUE(second.failures.empty());
    EXPECT_EQ(second.messages, std::vector<std::string>{"second"});
}

TEST(WebSocketConnection, ClosingNeverWaitsOnAHungLookup) {
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = gate->get_future().share();
    std::atomic<bool> entered{false};
    auto lookup = [released, &entered](const std::string&, const std::string&, boost::system::error_code& e) {
        entered = true;
        released.wait();
        e = boost::asio::error::host_not_found;
        return platforms::Endpoints{};
    };
    Record record;
    auto begin = std::chrono::steady_clock::now();
    {
        LoopThread loop;
        WebSocketConnection ws(loop.io(), lookup);
        loop.call([&] { ws.open("wss://never.answers.test/sub", record.handlers()); });
        ASSERT_TRUE(waitUntil([&] { return entered.load(); }));
        begin = std::chrono::steady_clock::now();
        loop.call([&] { ws.close(); });
        loop.stop();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    gate->set_value();  // the parked lookup thread leaves; nobody hears it
    EXPECT_TRUE(record.failures.empty());
}

TEST(HostResolver, AnswersAddressesAtOnceAndDropsWhatWasCancelled) {
    LoopThread loop;
    std::promise<void> gate;
    std::shared_future<void> letGo = gate.get_future().share();
    // Every lookup thread holds a copy of this until it has posted, or not.
    auto inFlight = std::make_shared<int>(0);
    auto lookup = [letGo, inFlight](const std::string&, const std::string&, boost::system::error_code&) {
        letGo.wait();
        return platforms::Endpoints{{boost::asio::ip::make_address("10.0.0.1"), 80},
                                    {boost::asio::ip::make_address("::1"), 80}};
    };
    platforms::HostResolver resolver(loop.io(), lookup);
    std::atomic<int> answers{0};
    std::vector<std::string> results;
    auto record = [&](const boost::system::error_code& e, platforms::Endpoints endpoints) {
        std::string r = e ? "error" : std::to_string(endpoints.size());
        for (const auto& endpoint : endpoints) {
            r += " " + endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
        }
        results.push_back(r);
        ++answers;
    };
    // Numeric addresses never wait on the lookup thread.
    loop.call([&] { resolver.resolve("127.0.0.1", "8080", record); });
    ASSERT_TRUE(waitUntil([&] { return answers == 1; }));
    loop.call([&] { resolver.resolve("::1", "99999", record); });
    ASSERT_TRUE(waitUntil([&] { return answers == 2; }));
    // A name: cancelled, replaced by another, then answered.
    loop.call([&] {
        resolver.resolve("first.test", "80", record);
        resolver.cancel();
        resolver.resolve("second.test", "80", record);
        resolver.resolve("good.test", "80", record);
    });
    gate.set_value();
    ASSERT_TRUE(waitUntil([&] { return answers == 3; }));
    // The other two lookups finish too, unheard: their threads are gone and
    // the loop has run whatever they might have posted.
    ASSERT_TRUE(waitUntil([&] { return inFlight.use_count() == 3; }));
    loop.call([] {});
    loop.stop();
    EXPECT_EQ(results, (std::vector<std::string>{"1 127.0.0.1:8080", "error", "2 10.0.0.1:80 ::1:80"}));
}

}  // namespace
