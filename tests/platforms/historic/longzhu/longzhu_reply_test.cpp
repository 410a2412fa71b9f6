#include "platforms/historic/longzhu/longzhu_reply.h"

#include <gtest/gtest.h>

#include "../../golden.h"
#include "util/text.h"

using longzhu::Message;
using longzhu::ReplyStatus;

namespace {

// The reply's messages as "kind name|text|count", in UTF-8.
std::vector<std::string> seen(const longzhu::Reply& reply) {
    std::vector<std::string> out;
    for (const auto& m : reply.messages) {
        out.push_back((m.kind == Message::Kind::Chat ? "chat " : "gift ") + util::localToUtf8(m.nickname) +
                      "|" + util::localToUtf8(m.text) + "|" + std::to_string(m.count));
    }
    return out;
}

}  // namespace

TEST(LongzhuReply, QuietReplyStoresTheCursorAndIgnoresItsMessages) {
    auto reply = longzhu::decodeReply(testing_support::testData("historic/longzhu/reply_quiet.json"));
    EXPECT_EQ(reply.status, ReplyStatus::Ok);
    EXPECT_TRUE(reply.messages.empty());
    EXPECT_EQ(longzhu::pollPath(77013, reply.from, reply.next), "/chatroom/msgsv2/77013/1234/3/");
}

TEST(LongzhuReply, BatchDeliversChatsAndGiftsInOrder) {
    auto reply = longzhu::decodeReply(testing_support::testData("historic/longzhu/reply_batch.json"));
    ASSERT_EQ(reply.status, ReplyStatus::Ok);
    EXPECT_EQ(reply.next, 2);
    EXPECT_EQ(reply.from, 9007199254740993LL);  // beyond a double's exact range
    // An unknown key is kept; a quoted number is read.
    EXPECT_EQ(seen(reply), (std::vector<std::string>{"chat 小明|主播好棒\"加油\"|0", "gift 阿花|玫瑰|5",
                                                     "gift 土豪|rocket|2", "chat Bob|你好|0"}));
}

TEST(LongzhuReply, FaultyMessageStopsTheBatchAfterWhatCameBefore) {
    auto reply = longzhu::decodeReply(testing_support::testData("historic/longzhu/reply_bad_message.json"));
    EXPECT_EQ(reply.status, ReplyStatus::Malformed);
    EXPECT_TRUE(reply.hasCursor);
    EXPECT_EQ(reply.from, 88);
    EXPECT_EQ(seen(reply), std::vector<std::string>{"chat a|first|0"});
}

TEST(LongzhuReply, RefusesWhatItCannotRead) {
    const char* const statuses[] = {"ok", "notjson", "malformed"};
    auto cases = testing_support::goldenCases("historic/longzhu/refused.golden");
    ASSERT_GE(cases.size(), 11u);
    for (const auto& c : cases) {
        auto reply = longzhu::decodeReply(c.in);
        EXPECT_EQ(statuses[static_cast<int>(reply.status)] + std::string(reply.hasCursor ? " cursor" : ""),
                  c.out)
            << c.in;
        EXPECT_TRUE(reply.messages.empty()) << c.in;
    }
}

TEST(LongzhuReply, DeepNestingIsRefusedWithoutRecursingIntoIt) {
    std::string shallow =
        "{\"next\":1,\"from\":2,\"count\":0,\"x\":" + std::string(60, '[') + std::string(60, ']') + "}";
    EXPECT_EQ(longzhu::decodeReply(shallow).status, ReplyStatus::Ok);
    // Brackets inside strings do not count.
    std::string quoted = "{\"next\":1,\"from\":2,\"count\":0,\"x\":\"" + std::string(500, '[') + "\"}";
    EXPECT_EQ(longzhu::decodeReply(quoted).status, ReplyStatus::Ok);
    EXPECT_EQ(longzhu::decodeReply(std::string(1000000, '[')).status, ReplyStatus::NotJson);
}

TEST(LongzhuReply, GiftNamesMatchWholeKeysExactly) {
    for (const char* key : {"Rose003", "rose00", "jpx", ""}) {
        EXPECT_EQ(longzhu::giftName(key), key);
    }
    EXPECT_EQ(util::localToUtf8(longzhu::giftName("jp")), "巨炮");
}

TEST(LongzhuPage, ChatRoomIdFollowsTheFirstMarker) {
    EXPECT_EQ(longzhu::chatRoomIdFromPage(testing_support::testData("historic/longzhu/room_page.html")),
              77013);
    struct Case {
        const char* page;
        int id;
    } cases[] = {
        {"{\"RoomId\":42}", 42},  // no comma: runs to the end of the page
        {"\"RoomId\":\t-7,", -7},
        {"\"RoomId\":\"abc\",", 0},
        {"\"RoomId\":99999999999,", 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(longzhu::chatRoomIdFromPage(c.page), c.id) << c.page;
    }
}
