// The TARS reader and writer, Huya's commands and pushes, and the room page.
#include <gtest/gtest.h>

#include "../golden.h"
#include "platforms/huya/huya_messages.h"
#include "platforms/huya/huya_page.h"
#include "platforms/huya/tars.h"
#include "util/text.h"

using namespace huya;
using testing_support::fromHex;
using testing_support::hexOf;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

std::string describe(const Decoded& d) {
    std::string out = d.valid ? "" : "invalid";
    auto add = [&out](const std::string& item) { out += (out.empty() ? "" : "; ") + item; };
    for (const Event& e : d.events) {
        const char* kind = e.kind == Event::Kind::Chat   ? "chat"
                           : e.kind == Event::Kind::Gift ? "gift"
                                                         : "enter";
        add(std::string(kind) + " " + util::localToUtf8(e.name) + "|" + util::localToUtf8(e.text) + "|" +
            std::to_string(e.count));
    }
    for (const auto& [uri, size] : d.unread) {
        add("unread " + std::to_string(uri));
    }
    return out.empty() ? "-" : out;
}

}  // namespace

// The heartbeat is the fixed message the public write-ups send (base64
// "ABQdAAwsNgBM"); the group registration is checked byte for byte.
TEST(HuyaProtocol, CommandsMatchTheirCapturedBytes) {
    EXPECT_EQ(hexOf(heartbeatCommand()), "00141d000c2c36004c");
    RoomIds ids{.yyid = 0, .channelId = 0, .subChannelId = 0, .presenterUid = 1};
    // A list of two texts, "live:1" and "chat:1", under tag 0.
    EXPECT_EQ(hexOf(registerGroupCommand(ids)),
              "00101d00001509000206066c6976653a310606636861743a3116002c36004c");
    EXPECT_EQ(registerUserCommand(ids), "") << "no yyid, no user registration";
    RoomIds big{.yyid = 1199512340001, .channelId = 1199512340002, .subChannelId = 3, .presenterUid = 0};
    EXPECT_EQ(registerGroupCommand(big), "");
    const std::string command = registerUserCommand(big);  // the views below point into it
    auto user = tars::Struct::parse(tars::Struct::parse(command)->bytes(1));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->integer(0), 1199512340001);
    EXPECT_EQ(user->integer(1), 1);  // anonymous
    EXPECT_EQ(user->integer(4), 1199512340002);
    EXPECT_EQ(user->integer(5), 3);
}

TEST(HuyaProtocol, GoldenEncodings) {
    auto cases = testing_support::goldenCases("huya/tars.golden");
    ASSERT_GE(cases.size(), 20u);
    std::string deep(10000, '\x0A');  // StructBegin, tag 0, without end
    std::string deepLists;
    for (int i = 0; i < 10000; ++i) {
        deepLists += bytes({0x09, 0x00, 0x01});  // a list of one list of one ...
    }
    cases.push_back({hexOf(deep), "refused"});
    cases.push_back({hexOf(deepLists), "refused"});
    for (const auto& c : cases) {
        const std::string encoded = fromHex(c.in);
        for (unsigned tag : {0u, 20u}) {
            std::string field = tag ? bytes({0xF0 | (encoded[0] & 0x0F), 20}) + encoded.substr(1) : encoded;
            auto s = tars::Struct::parse(field);
            auto f = s ? s->field(tag) : std::nullopt;
            EXPECT_EQ(!s  ? "refused"
                      : f ? std::to_string(static_cast<int>(f->type)) + " " + std::to_string(f->number) +
                                (f->body.empty() ? "" : " " + hexOf(std::string(f->body)))
                          : "no field",
                      c.out)
                << c.in.substr(0, 40) << " at tag " << tag;
        }
        if (c.out == "refused") {
            EXPECT_FALSE(decodeMessage(encoded).valid) << c.in.substr(0, 40);
            tars::Writer w;
            w.integer(0, kPushMessage);
            w.bytes(1, encoded);
            EXPECT_FALSE(decodeMessage(w.data()).valid) << c.in.substr(0, 40) << " inside a push";
        }
    }
}

TEST(HuyaProtocol, GoldenPushes) {
    auto cases = testing_support::goldenCases("huya/pushes.golden");
    ASSERT_GE(cases.size(), 12u);
    for (const auto& c : cases) {
        EXPECT_EQ(describe(decodeMessage(fromHex(c.in))), c.out) << c.in;
    }
}

TEST(HuyaProtocol, RoomPageFormsGiveTheIds) {
    auto cases = testing_support::goldenCases("huya/room_pages.golden");
    ASSERT_GE(cases.size(), 10u);
    for (const auto& c : cases) {
        auto ids = readRoomPage(c.in);
        EXPECT_EQ(ids ? std::to_string(ids->yyid) + " " + std::to_string(ids->channelId) + " " +
                            std::to_string(ids->subChannelId) + " " + std::to_string(ids->presenterUid)
                      : "none",
                  c.out)
            << c.in;
    }
    // 50 MB of near-misses reads in one pass to nothing.
    std::string huge;
    huge.reserve(50 << 20);
    while (huge.size() < (50u << 20)) {
        huge += R"("lp":x, TT_ROOM_DATA {"lYyid": )";
    }
    EXPECT_FALSE(readRoomPage(huge));

    EXPECT_EQ(roomPageUrl("https://www.huya.com/", " xiaoming "), "https://www.huya.com/xiaoming");
    EXPECT_EQ(roomPageUrl("http://127.0.0.1:80", "a/b?c 虎"), "http://127.0.0.1:80/a%2Fb%3Fc%20%E8%99%8E");
}
