#include <gtest/gtest.h>

#include "../golden.h"
#include "platforms/bilibili/bilibili_api.h"
#include "platforms/bilibili/bilibili_events.h"
#include "platforms/bilibili/bilibili_packet.h"
#include "platforms/bilibili/bilibili_wbi.h"
#include "util/text.h"

using namespace bilibili;

namespace {

// "op/version:body" for each packet, joined by " ".
std::string describe(const std::vector<Packet>& packets) {
    std::string out;
    for (const auto& p : packets) {
        out += (out.empty() ? "" : " ") + std::to_string(p.operation) + "/" + std::to_string(p.version) +
               ":" + p.body;
    }
    return out;
}

std::string read(const std::string& message, bool expectOk = true) {
    std::vector<Packet> packets;
    EXPECT_EQ(readPackets(message, packets), expectOk) << describe(packets);
    return describe(packets);
}

std::string command(std::string_view json) {
    return encodePacket(kCommand, json, kPlain, 0);
}

std::string heartbeatReply(std::uint32_t popularity, std::string_view echo) {
    std::string body = {static_cast<char>(popularity >> 24), static_cast<char>(popularity >> 16),
                        static_cast<char>(popularity >> 8), static_cast<char>(popularity)};
    std::string packet = encodePacket(kHeartbeatReply, body, kControl);
    return packet + std::string(echo);
}

std::string describe(const ChatCommand& c) {
    static const char* kinds[] = {"chat", "super", "gift", "enter", "follow", "share", "like", "notice"};
    return std::string(kinds[c.kind]) + " " + util::localToUtf8(c.name) + "|" + util::localToUtf8(c.text) +
           "|" + std::to_string(c.count) + (c.value >= 0 ? " worth " + std::to_string(c.value) : "");
}

}  // namespace

TEST(BilibiliPackets, HeaderIsBigEndianWithLengthsAndSequence) {
    std::string packet = encodePacket(kAuth, "{}");
    EXPECT_EQ(packet, std::string("\0\0\0\x12\0\x10\0\x01\0\0\0\x07\0\0\0\x01{}", 18));
}

TEST(BilibiliPackets, SplitsMessagesAndOpensBundles) {
    const std::string a = command(R"({"cmd":"A"})"), b = command(R"({"cmd":"B"})");
    struct Case {
        const char* what;
        std::string message;
        std::string expected;
    } cases[] = {
        {"two plain packets", a + b, R"(5/0:{"cmd":"A"} 5/0:{"cmd":"B"})"},
        {"a zlib bundle between plain ones", a + bundlePacket(b + a, kZlib) + b,
         R"(5/0:{"cmd":"A"} 5/0:{"cmd":"B"} 5/0:{"cmd":"A"} 5/0:{"cmd":"B"})"},
        {"a brotli bundle", bundlePacket(a + b, kBrotli), R"(5/0:{"cmd":"A"} 5/0:{"cmd":"B"})"},
        {"a bundle inside a bundle", bundlePacket(bundlePacket(a, kZlib) + b, kBrotli),
         R"(5/0:{"cmd":"A"} 5/0:{"cmd":"B"})"},
        // The popularity's packet ends before the echo of the heartbeat's body.
        {"heartbeat reply with the client's echo", heartbeatReply(2466, "[object Object]") + "",
         std::string("3/1:\0\0\x09\xa2", 8)},
        {"heartbeat reply with an empty echo, then a command", heartbeatReply(1, "") + a,
         std::string("3/1:\0\0\0\x01", 8) + R"( 5/0:{"cmd":"A"})"},
        {"an empty message", "", ""},
        {"a header with an empty body", encodePacket(kAuthReply, ""), "8/1:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.message), c.expected) << c.what;
    }
}

TEST(BilibiliPackets, BrokenFramingAndBundlesAreRefused) {
    const std::string good = command("{}");
    auto withLength = [&](std::uint32_t length, std::uint16_t headerLength) {
        std::string p = good;
        p[0] = static_cast<char>(length >> 24), p[1] = static_cast<char>(length >> 16);
        p[2] = static_cast<char>(length >> 8), p[3] = static_cast<char>(length);
        p[4] = static_cast<char>(headerLength >> 8), p[5] = static_cast<char>(headerLength);
        return p;
    };
    std::string zlib = bundlePacket(good, kZlib);
    std::string cutZlib =
        encodePacket(kCommand, zlib.substr(kHeaderSize, zlib.size() - kHeaderSize - 3), kZlib);
    std::string brotli = bundlePacket(good + good, kBrotli);
    std::string cutBrotli =
        encodePacket(kCommand, brotli.substr(kHeaderSize, brotli.size() - kHeaderSize - 2), kBrotli);
    std::string nested = good;
    for (int i = 0; i <= kMaxBundleDepth; ++i) {
        nested = bundlePacket(nested, i % 2 ? kZlib : kBrotli);
    }
    // Zeros compress a thousandfold: a few kilobytes that unpack past the bound.
    std::string bomb = bundlePacket(command(std::string(kMaxUnpackedSize, ' ')), kZlib);
    struct Case {
        const char* what;
        std::string message;
        std::string before;  // what was read before the fault
    } cases[] = {
        {"length shorter than the header", good + withLength(15, 16), "5/0:{}"},
        {"length past the message's end", withLength(200, 16), ""},
        {"header length below 16", withLength(18, 8), ""},
        {"header length past the packet", withLength(18, 20), ""},
        {"a zlib stream cut short", good + cutZlib, "5/0:{}"},
        {"a brotli stream cut short", cutBrotli, ""},
        {"a zlib bundle that is not zlib", encodePacket(kCommand, "not zlib at all", kZlib), ""},
        {"bundles nested too deep", nested, ""},
        {"a bundle that unpacks past the bound", bomb, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.message, false), c.before) << c.what;
    }
    EXPECT_LT(bomb.size(), 64u * 1024);
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
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
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
