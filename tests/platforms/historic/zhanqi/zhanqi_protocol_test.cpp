#include "platforms/historic/zhanqi/zhanqi_protocol.h"

#include <gtest/gtest.h>

#include "../../golden.h"
#include "util/text.h"

using namespace zhanqi;

namespace {

std::string pageWithServers(const std::string& base64) {
    return R"({"id":"7","flashvars":{"Servers":")" + base64 + R"(","ChatRoomId":"7"}})";
}

const char* kViewer = R"({"data":{"uid":1,"gid":2,"sid":"s","timestamp":3}})";

}  // namespace

TEST(ZhanqiLookup, GoldenPageAndViewerAnswer) {
    RoomInfo info = parseRoomInfo(testing_support::testData("historic/zhanqi/room_page.html"),
                                  testing_support::testData("historic/zhanqi/viewer.json"));
    EXPECT_EQ(info.roomNumber, 41532);
    std::vector<std::string> servers;
    for (const auto& server : info.servers) {
        servers.push_back(server.address + ":" + std::to_string(server.port));
    }
    // The second port is given as a string.
    EXPECT_EQ(servers, (std::vector<std::string>{"180.153.107.21:15010", "180.153.107.22:15011",
                                                 "101.226.56.9:15012"}));

    std::string login = loginPacket(info);
    std::string text = login.substr(kHeaderLength);
    EXPECT_EQ(
        text,
        R"({"nickname":"","uid":109922,"ver":12,"thirdaccount":"","sid":"9e107d9d372bb6826bd81d3542a419d6",)"
        R"("timestamp":3000000000,"fx":0,"t":0,"fhost":"iphone","cmdid":"loginreq","roomid":41532,"gid":1843,)"
        R"("hideslv":0})");
    EXPECT_EQ(login.substr(0, kHeaderLength),
              std::string("\xBB\xCC\x00\x00\x00\x00", 6) + static_cast<char>(text.size() & 0xFF) +
                  static_cast<char>(text.size() >> 8) + std::string("\x00\x00\x10\x27", 4));
}

TEST(ZhanqiLookup, DocumentsThatLeaveNoServers) {
    const std::string good =
        "eyJsaXN0IjpbeyJpcCI6IjEuMi4zLjQiLCJwb3J0Ijo1fV19";  // {"list":[{"ip":"1.2.3.4","port":5}]}
    ASSERT_EQ(parseRoomInfo(pageWithServers(good), kViewer).servers.size(), 1u);
    struct Case {
        const char* what;
        std::string page;
        std::string api;
    } cases[] = {
        {"no configuration marker", R"({"id":"7"})", kViewer},
        {"empty list", pageWithServers("eyJsaXN0IjpbXX0="), kViewer},  // {"list":[]}
        {"item without port", pageWithServers("eyJsaXN0IjpbeyJpcCI6IjEuMi4zLjQifV19"), kViewer},  // no "port"
        {"configuration over 4096 bytes", pageWithServers(std::string(5500, 'A')), kViewer},
        {"viewer without sid", pageWithServers(good), R"({"data":{"uid":1,"gid":2,"timestamp":3}})"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(parseRoomInfo(c.page, c.api).servers.empty()) << c.what;
    }
    EXPECT_EQ(decodeBase64("QU\r\nJD =ignored", 16), "ABC");
}

TEST(ZhanqiPackets, LengthFieldIsSignedAndTextsAreCut) {
    std::uint8_t header[12] = {0xBB, 0xCC, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(packetTextLength(header), -1);
    EXPECT_EQ(packPacket(std::string(40000, 'x'), kRequestKind).size(), kHeaderLength + kMaxTextLength);
}

TEST(ZhanqiTexts, GoldenCommands) {
    const char* const actions[] = {"unparseable", "accepted", "refused", "loggedin",
                                   "chat",        "gift",     "ignored"};
    auto cases = testing_support::goldenCases("historic/zhanqi/texts.golden");
    ASSERT_GE(cases.size(), 14u);
    for (const auto& c : cases) {
        Incoming in = handleText(c.in, 77);
        std::string got = actions[in.action];
        if (in.action == Incoming::Chat || in.action == Incoming::Gift) {
            got += "|" + util::localToUtf8(in.name) + "|" + util::localToUtf8(in.text) + "|" +
                   std::to_string(in.count);
        }
        EXPECT_EQ(got, c.out) << c.in;
    }
}
