#include <gtest/gtest.h>

#include <algorithm>

#include "../golden.h"
#include "platforms/bilibili/bilibili_api.h"
#include "platforms/bilibili/bilibili_events.h"
#include "platforms/bilibili/bilibili_packet.h"
#include "platforms/bilibili/bilibili_wbi.h"
#include "util/text.h"

using namespace bilibili;

namespace {

// What `message` reads as, in the form of packets.golden.
std::string read(const std::string& message) {
    std::vector<Packet> packets;
    const bool ok = readPackets(message, packets);
    std::string out;
    for (const auto& p : packets) {
        std::string body = p.body;
        if (std::any_of(body.begin(), body.end(), [](char c) { return c < 0x20 || c > 0x7e; })) {
            body = "0x" + testing_support::hexOf(p.body);
        }
        out += (out.empty() ? "" : " ") + std::to_string(p.operation) + "/" + std::to_string(p.version) +
               ":" + body;
    }
    return ok ? (out.empty() ? "-" : out) : out.empty() ? "refused" : "refused after " + out;
}

std::string command(std::string_view json) {
    return encodePacket(kCommand, json, kPlain, 0);
}

std::string describe(const ChatCommand& c) {
    static const char* kinds[] = {"chat", "super", "gift", "enter", "follow", "share", "like", "notice"};
    return std::string(kinds[c.kind]) + " " + util::localToUtf8(c.name) + "|" + util::localToUtf8(c.text) +
           "|" + std::to_string(c.count) + (c.value >= 0 ? " worth " + std::to_string(c.value) : "");
}

}  // namespace

TEST(BilibiliPackets, GoldenMessages) {
    // The header is big-endian: lengths, operation and sequence.
    EXPECT_EQ(encodePacket(kAuth, "{}"), std::string("\0\0\0\x12\0\x10\0\x01\0\0\0\x07\0\0\0\x01{}", 18));
    auto cases = testing_support::goldenCases("bilibili/packets.golden");
    ASSERT_GE(cases.size(), 16u);
    for (const auto& c : cases) {
        EXPECT_EQ(read(testing_support::fromHex(c.in)), c.out) << c.in.substr(0, 60);
    }
    // Zeros compress a thousandfold: a few kilobytes that unpack past the bound.
    std::string bomb = bundlePacket(command(std::string(kMaxUnpackedSize, ' ')), kZlib);
    EXPECT_LT(bomb.size(), 64u * 1024);
    EXPECT_EQ(read(bomb), "refused");
}

TEST(BilibiliWbi, SignsTheDocumentedExampleAndEncodesValues) {
    std::string imgKey = wbiKeyFromUrl("https://i0.hdslb.com/bfs/wbi/7cd084941338484aae1ad9425b84077c.png");
    std::string subKey = wbiKeyFromUrl("https://i0.hdslb.com/bfs/wbi/4932caff0ff746eab6f01bf08b70ac45.png");
    std::string mixin = mixinKey(imgKey, subKey);
    EXPECT_EQ(mixin, "ea1db124af3c7062474693fa704f4ff8");
    EXPECT_EQ(signedQuery({{"foo", "114"}, {"bar", "514"}, {"zab", "1919810"}}, mixin, 1702204169),
              "bar=514&foo=114&wts=1702204169&zab=1919810&w_rid=8f6f2b5b3d485fe1886cec6a0be8c5d4");
    EXPECT_EQ(mixinKey("short", "keys"), "");
    // Values are encoded as the service hashes them.
    std::string query =
        signedQuery({{"foo", "one one four"}, {"bar", "五一四"}, {"baz", "19(1)9!8'1*0"}}, "k", 1);
    EXPECT_EQ(query.substr(0, query.find("&w_rid=")),
              "bar=%E4%BA%94%E4%B8%80%E5%9B%9B&baz=1919810&foo=one%20one%20four&wts=1");
}

TEST(BilibiliCommands, GoldenCommandsGiveTheirEvents) {
    auto cases = testing_support::goldenCases("bilibili/commands.golden");
    ASSERT_GE(cases.size(), 20u);
    for (const auto& c : cases) {
        std::vector<ChatCommand> events;
        std::string got;
        if (!parseCommand(c.in, events)) {
            got = "invalid";
        } else {
            for (const auto& e : events) {
                got += (got.empty() ? "" : " ; ") + describe(e);
            }
            got = got.empty() ? "-" : got;
        }
        EXPECT_EQ(got, c.out) << c.in;
    }
}

TEST(BilibiliApi, GoldenAnswers) {
    auto cases = testing_support::goldenCases("bilibili/answers.golden");
    ASSERT_GE(cases.size(), 18u);
    for (const auto& c : cases) {
        const std::string kind = c.in.substr(0, c.in.find(' ')), body = c.in.substr(kind.size() + 1);
        std::string got;
        if (kind == "room_init") {
            auto room = parseRoomInit(body);
            got = room.status == RoomLookup::Found        ? "room " + std::to_string(room.roomId)
                  : room.status == RoomLookup::NoSuchRoom ? "no such room"
                                                          : "failed";
        } else if (auto nav = kind == "nav" ? parseNav(body) : std::nullopt) {
            got = "img " + nav->imgKey + " sub " + nav->subKey + " code " + std::to_string(nav->code) +
                  " login " + std::to_string(nav->isLogin) + " mid " + std::to_string(nav->mid);
        } else if (kind == "danmu_info") {
            auto info = parseDanmuInfo(body);
            got = info.status == DanmuInfo::Ok        ? "ok " + info.token
                  : info.status == DanmuInfo::Refused ? "refused"
                                                      : "failed";
            for (const auto& h : info.hosts) {
                got += " " + h.host + ":" + std::to_string(h.wsPort) + "/" + std::to_string(h.wssPort);
            }
        } else if (kind == "buvid") {
            got = parseBuvid(body);
        } else {
            got = kind == "nav" ? "none" : authAccepted(body) ? "accepted" : "refused";
        }
        EXPECT_EQ(got, c.out) << c.in;
    }
}

TEST(BilibiliApi, AuthBodyAndCookie) {
    EXPECT_EQ(
        authBody(0, 5050, "B-3\"x", "tok\\en"),
        R"({"uid":0,"roomid":5050,"protover":3,"buvid":"B-3\"x","platform":"web","type":2,"key":"tok\\en"})");
    const std::string line = " buvid3=AB-12; SESSDATA=s%2Cx ;bili_jct=j; flag";
    EXPECT_EQ(cookieValue(line, "SESSDATA"), "s%2Cx");
    EXPECT_EQ(cookieValue(line, "buvid3"), "AB-12");
    EXPECT_EQ(cookieValue(line, "flag"), "");
    EXPECT_EQ(parseRoomNumber(" 5440 "), 5440);
    EXPECT_EQ(parseRoomNumber("54a"), std::nullopt);
    EXPECT_EQ(parseRoomNumber("0"), std::nullopt);
}
