#include "platforms/douyu/douyu_codec.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "platforms/douyu/douyu_link.h"
#include "sim/douyu/douyu_room.h"

using namespace douyu;

namespace {

std::string header(std::uint32_t length) {
    return sim::douyuServerHeader(length);
}

}  // namespace

TEST(DouyuCodec, KeepAliveFramesToThirtyNineBytes) {
    std::string text = "type@=keeplive/tick@=1234/";
    ASSERT_EQ(text.size(), 26u);
    std::string expected("\x23\0\0\0\x23\0\0\0\xB1\x02\0\0", 12);
    expected += text;
    expected += '\0';
    EXPECT_EQ(frameText(text), expected);
}

TEST(DouyuCodec, OverlongTextIsCutWithoutItsNul) {
    std::string text(40000, 'x');
    std::string frame = frameText(text);
    ASSERT_EQ(frame.size(), 32780u);
    EXPECT_EQ(frame.substr(0, 8), header(32776).substr(0, 8));
    EXPECT_EQ(frame.back(), 'x');

    std::string exact(32767, 'y');  // room for the NUL exactly
    EXPECT_EQ(frameText(exact).size(), 32780u);
    EXPECT_EQ(frameText(exact).back(), '\0');
}

TEST(DouyuCodec, ReceivedHeaderLimits) {
    struct Case {
        std::uint32_t length;
        std::optional<std::uint32_t> body;
    } cases[] = {
        {8, 0u},
        {9, 1u},
        {32776, 32768u},
        {32777, std::nullopt},
        {7, std::nullopt},
        {0, std::nullopt},
        {0xFFFFFFFFu, std::nullopt},
        {0x80000000u, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string h = header(c.length);
        EXPECT_EQ(bodyLengthOf(reinterpret_cast<const std::uint8_t*>(h.data())), c.body) << c.length;
    }
}

TEST(DouyuCodec, FindValueAndTypeTests) {
    std::string_view text = "type@=dgnx/nick@=a b/sui@=nick@A=in@Sx@S/last@=end";
    EXPECT_EQ(findValue(text, "nick@="), "a b");
    EXPECT_EQ(findValue(text, "nick@A=", "@"), "in");
    EXPECT_EQ(findValue(text, "last@="), "end");  // no terminator: to the end
    EXPECT_EQ(findValue(text, "absent@="), "");
    EXPECT_EQ(findNumber("n@= -7/", "n@="), -7);
    EXPECT_EQ(findNumber("x@=1/", "n@="), 0);
    EXPECT_TRUE(isType(text, "dgn"));
    EXPECT_TRUE(isType(text, "dgnx"));
    EXPECT_FALSE(isType(text, "dgnxy"));
    EXPECT_FALSE(isType("gs@=dgn/", "dgn"));
}

// Frames arriving on a real socket: what the read loop hands on for each.
TEST(DouyuLink, ReadsTextsAndTellsHeaderFromBodyFailures) {
    using boost::asio::ip::tcp;
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> expected;  // texts, then "header" or "body" for the failure
    } cases[] = {
        {"empty body", header(8) + frameText("type@=a/"), {"", std::string("type@=a/\0", 9), "header"}},
        {"largest body", header(32776) + std::string(32768, 'z'), {std::string(32768, 'z'), "header"}},
        {"too long", header(32777) + std::string(32769, 'z'), {"header"}},
        {"too short", header(7), {"header"}},
        {"short body", header(108) + std::string(10, 'q'), {"body"}},
        {"short header", std::string("\x10\0\0", 3), {"header"}},
    };
    for (const auto& c : cases) {
        boost::asio::io_context io;
        tcp::acceptor acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
        DouyuLink link(io, [] {});
        link.socket().connect(acceptor.local_endpoint());
        tcp::socket peer(io);
        acceptor.accept(peer);
        boost::asio::write(peer, boost::asio::buffer(c.bytes));
        peer.shutdown(tcp::socket::shutdown_send);

        std::vector<std::string> seen;
        std::function<void()> next = [&] {
            link.readFrame([&](DouyuLink::ReadOutcome outcome, std::string_view text) {
                switch (outcome) {
                    case DouyuLink::ReadOutcome::Text:
                        seen.emplace_back(text);
                        next();
                        break;
                    case DouyuLink::ReadOutcome::HeaderFailure:
                        seen.emplace_back("header");
                        break;
                    case DouyuLink::ReadOutcome::BodyFailure:
                        seen.emplace_back("body");
                        break;
                }
            });
        };
        next();
        io.run();
        EXPECT_EQ(seen, c.expected) << c.name;
    }
}

TEST(DouyuLink, FramesWrittenBackToBackArriveWholeAndStaleReadsAreDropped) {
    using boost::asio::ip::tcp;
    boost::asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
    int writeFailures = 0;
    DouyuLink link(io, [&] { ++writeFailures; });
    link.socket().connect(acceptor.local_endpoint());
    tcp::socket peer(io);
    acceptor.accept(peer);

    std::string big(20000, 'b');
    link.sendText("type@=keeplive/tick@=1/");
    link.sendText(big);
    io.run();
    io.restart();
    EXPECT_EQ(writeFailures, 0);

    std::string received(frameText("type@=keeplive/tick@=1/").size() + frameText(big).size(), '\0');
    boost::asio::read(peer, boost::asio::buffer(received));
    EXPECT_EQ(received, frameText("type@=keeplive/tick@=1/") + frameText(big));

    bool staleReadReported = false;
    link.readFrame([&](DouyuLink::ReadOutcome, std::string_view) { staleReadReported = true; });
    link.close();           // the pending read completes cancelled: not a failure
    link.sendText("lost");  // on a closed socket: a write failure
    io.run();
    EXPECT_FALSE(staleReadReported);
    EXPECT_EQ(writeFailures, 1);
}
