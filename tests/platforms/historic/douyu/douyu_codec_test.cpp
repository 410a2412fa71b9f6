#include "platforms/douyuws/douyu_codec.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "platforms/historic/douyu/douyu_link.h"
#include "sim/historic/douyu/douyu_room.h"

using namespace douyu;
using boost::asio::ip::tcp;

namespace {

const auto header = &sim::douyuServerHeader;

// A link connected to a peer socket on the loopback.
struct Linked {
    boost::asio::io_context io;
    tcp::acceptor acceptor{io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)};
    int writeFailures = 0;
    DouyuLink link{io, [this] { ++writeFailures; }};
    tcp::socket peer{io};
    Linked() {
        link.socket().connect(acceptor.local_endpoint());
        acceptor.accept(peer);
    }
};

}  // namespace

TEST(DouyuCodec, FramesKeepAliveAndCutsOverlongTexts) {
    std::string text = "type@=keeplive/tick@=1234/";
    EXPECT_EQ(frameText(text), std::string("\x23\0\0\0\x23\0\0\0\xB1\x02\0\0", 12) + text + '\0');

    std::string frame = frameText(std::string(40000, 'x'));
    ASSERT_EQ(frame.size(), 32780u);
    EXPECT_EQ(frame.substr(0, 8), header(32776).substr(0, 8));
    EXPECT_EQ(frame.back(), 'x');  // no room left for the NUL
    EXPECT_EQ(frameText(std::string(32767, 'y')).back(), '\0');
}

// Frames arriving on a real socket: what the read loop hands on for each.
TEST(DouyuLink, ReadsTextsAndTellsHeaderFromBodyFailures) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> expected;  // texts, then "header" or "body" for the failure
    } cases[] = {
        {"empty body", header(8) + frameText("type@=a/"), {"", std::string("type@=a/\0", 9), "header"}},
        {"largest body", header(32776) + std::string(32768, 'z'), {std::string(32768, 'z'), "header"}},
        {"too long", header(32777) + std::string(32769, 'z'), {"header"}},
        {"too short", header(7), {"header"}},
        {"wraps around", header(0xFFFFFFFFu), {"header"}},
        {"short body", header(108) + std::string(10, 'q'), {"body"}},
        {"short header", std::string("\x10\0\0", 3), {"header"}},
    };
    for (const auto& c : cases) {
        Linked l;
        boost::asio::write(l.peer, boost::asio::buffer(c.bytes));
        l.peer.shutdown(tcp::socket::shutdown_send);

        std::vector<std::string> seen;
        std::function<void()> next = [&] {
            l.link.readFrame([&](DouyuLink::ReadOutcome outcome, std::string_view text) {
                if (outcome == DouyuLink::ReadOutcome::Text) {
                    seen.emplace_back(text);
                    next();
                } else {
                    seen.emplace_back(outcome == DouyuLink::ReadOutcome::HeaderFailure ? "header" : "body");
                }
            });
        };
        next();
        l.io.run();
        EXPECT_EQ(seen, c.expected) << c.name;
    }
}

TEST(DouyuLink, FramesWrittenBackToBackArriveWholeAndStaleReadsAreDropped) {
    Linked l;
    std::string small = "type@=keeplive/tick@=1/", big(20000, 'b');
    l.link.sendText(small);
    l.link.sendText(big);
    l.io.run();
    l.io.restart();
    EXPECT_EQ(l.writeFailures, 0);

    std::string received(frameText(small).size() + frameText(big).size(), '\0');
    boost::asio::read(l.peer, boost::asio::buffer(received));
    EXPECT_EQ(received, frameText(small) + frameText(big));

    bool staleReadReported = false;
    l.link.readFrame([&](DouyuLink::ReadOutcome, std::string_view) { staleReadReported = true; });
    l.link.close();           // the pending read completes cancelled: not a failure
    l.link.sendText("lost");  // on a closed socket: a write failure
    l.io.run();
    EXPECT_FALSE(staleReadReported);
    EXPECT_EQ(l.writeFailures, 1);
}
