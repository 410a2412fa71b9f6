// The pure pieces of today's Douyu client: frames across WebSocket messages,
// the events of the serialised texts, and the web answers read before joining.
#include <gtest/gtest.h>

#include <map>

#include "../golden.h"
#include "platforms/common/message_bound.h"
#include "platforms/douyuws/douyuws_lookup.h"
#include "platforms/douyuws/douyuws_messages.h"
#include "platforms/douyuws/frame_reader.h"
#include "sim/douyuws/douyu_frames.h"
#include "util/text.h"

using namespace douyuws;

namespace {

// Feeds `messages` one by one, draining the reader after each; the frames it
// handed out, then "broken" when it broke, "pending N" for leftover bytes and
// "dropped N" for oversized frames passed over.
std::vector<std::string> readAll(const std::vector<std::string>& messages) {
    FrameReader reader;
    std::vector<std::string> out;
    for (const auto& message : messages) {
        reader.append(message);
        std::string text;
        FrameReader::Result result;
        while ((result = reader.next(text)) == FrameReader::Result::Frame) {
            out.push_back(text);
        }
        if (result == FrameReader::Result::Broken) {
            out.push_back("broken");
            return out;
        }
    }
    if (reader.pending() > 0) {
        out.push_back("pending " + std::to_string(reader.pending()));
    }
    if (reader.dropped() > 0) {
        out.push_back("dropped " + std::to_string(reader.dropped()));
    }
    return out;
}

const auto header = &sim::douyuServerHeader;

}  // namespace

TEST(DouyuWsFrames, FramesAreReadByTheirLengthWhateverTheMessagesCut) {
    const std::string a = sim::douyuServerFrame("type@=chatmsg/nn@=甲/txt@=一/");
    const std::string b = sim::douyuServerFrame("type@=uenter/nn@=乙/");
    const std::string body = std::string(platforms::kMaxChatMessageBytes, 'x');
    const std::string big = header(static_cast<std::uint32_t>(body.size() + 8)) + body;
    const std::string over = header(static_cast<std::uint32_t>(body.size() + 9)) + body + "y";
    std::string skewed = header(static_cast<std::uint32_t>(body.size() + 9));
    skewed[4] = 'z';  // the second length field disagrees
    const std::string textA = std::string("type@=chatmsg/nn@=甲/txt@=一/") + '\0';
    const std::string textB = std::string("type@=uenter/nn@=乙/") + '\0';
    struct Case {
        const char* name;
        std::vector<std::string> messages;
        std::vector<std::string> expected;
    } cases[] = {
        {"one frame, one message", {a}, {textA}},
        {"two frames in one message", {a + b}, {textA, textB}},
        {"cut inside the header", {a.substr(0, 5), a.substr(5) + b}, {textA, textB}},
        {"cut inside the body", {a + b.substr(0, 20), b.substr(20)}, {textA, textB}},
        {"cut right after the header", {b.substr(0, 12), b.substr(12)}, {textB}},
        {"over three messages, the next one behind",
         {a.substr(0, 3), a.substr(3, 10), a.substr(13) + b},
         {textA, textB}},
        {"an empty message changes nothing", {"", a, ""}, {textA}},
        {"an unfinished frame waits", {a + b.substr(0, 7)}, {textA, "pending 7"}},
        {"length 8: an empty text", {header(8) + b}, {"", textB}},
        {"the largest body", {big.substr(0, 1000), big.substr(1000)}, {body}},
        {"a length below 8 breaks", {a + header(7) + b}, {textA, "broken"}},
        {"a length of zero breaks", {header(0)}, {"broken"}},
        {"an oversized frame alone is passed over, whatever the cut",
         {a + over.substr(0, 30), over.substr(30, 40000), over.substr(40030) + b},
         {textA, textB, "dropped 1"}},
        {"an oversized frame cut right after its header",
         {over.substr(0, 12), over.substr(12) + a},
         {textA, "dropped 1"}},
        {"an oversized header whose length fields disagree breaks", {a + skewed}, {textA, "broken"}},
        {"a length of 4 GiB breaks", {header(0xFFFFFFFF)}, {"broken"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readAll(c.messages), c.expected) << c.name;
    }
}

TEST(DouyuWsEvents, GoldenTexts) {
    const char* const kinds[] = {"ignored", "login", "refused", "chat", "enter", "gift", "paid"};
    auto cases = testing_support::goldenCases("douyuws/events.golden");
    ASSERT_GE(cases.size(), 20u);
    for (const auto& c : cases) {
        Event e = parseEvent(c.in);
        EXPECT_EQ(std::string(kinds[static_cast<int>(e.kind)]) + "|" + util::localToUtf8(e.name) + "|" +
                      util::localToUtf8(e.text) + "|" + e.giftId + "|" + std::to_string(e.count) + "|" +
                      e.roomId,
                  c.out)
            << "for " << c.in;
    }
}

TEST(DouyuWsLookup, GoldenAnswers) {
    auto cases = testing_support::goldenCases("douyuws/answers.golden");
    ASSERT_GE(cases.size(), 20u);
    for (const auto& c : cases) {
        const std::string kind = c.in.substr(0, c.in.find(' ')), document = c.in.substr(kind.size() + 1);
        GiftNames names;
        std::string got = kind == "betard" ? roomIdFromBetard(document).value_or("none")
                          : (kind == "gifts" ? readGiftList(document, names) : readPropList(document, names))
                              ? "read"
                              : "refused";
        for (const auto& [id, name] : std::map<std::string, std::string>(names.begin(), names.end())) {
            got += " " + id + "=" + util::localToUtf8(name);
        }
        EXPECT_EQ(got, c.out) << c.in;
    }
    std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(roomIdFromBetard(deep), std::nullopt);
}

// The room's own name wins over the prop list's; a gift in neither is "礼物".
TEST(DouyuWsLookup, GiftNamesComeFromTheRoomListThenThePropList) {
    const GiftNames room{{"192", util::utf8ToLocal("赞")}};
    const GiftNames props{{"192", util::utf8ToLocal("别名")}, {"824", util::utf8ToLocal("荧光棒")}};
    for (auto [id, name] : {std::pair{"192", "赞"}, {"824", "荧光棒"}, {"5", "礼物"}}) {
        EXPECT_EQ(util::localToUtf8(giftNameOf(id, room, props)), name) << id;
    }
}

// An 8 MB list costs a bounded walk, not a node per element: four million
// elements are refused unread, and a long list of real gifts is read only
// up to a count no room comes near.
TEST(DouyuWsLookup, AHugeGiftListIsBoundedByElementsAndGifts) {
    std::string zeros = R"({"error":0,"data":{"giftList":[)";
    std::string gifts = zeros;
    while (zeros.size() < (8u << 20) - 16) {
        zeros += "0,";
    }
    for (int i = 0; gifts.size() < (4u << 20); ++i) {
        gifts += R"({"id":)" + std::to_string(i + 1) + R"(,"name":"g"},)";
    }
    GiftNames names;
    EXPECT_FALSE(readGiftList(zeros + "0]}}", names));
    EXPECT_TRUE(readGiftList(gifts + R"({"id":0}]}})", names));
    EXPECT_EQ(names.size(), 20'000u);
}

// Escaping round-trips, and what the host typed never leaves its place in a
// request: not the login's items, not the betard path.
TEST(DouyuWsLookup, TheTypedRoomStaysInItsPlace) {
    for (std::string value : {"", "plain", "a/b", "@", "@S", "@A/", "//@@", "丂@/"}) {
        EXPECT_EQ(unescape(escape(value)), value) << value;
    }
    EXPECT_EQ(splitItems(loginText("1/type@=x")).size(), 2u);
    EXPECT_EQ(betardUrl("https://www.douyu.com", " 9999 "), "https://www.douyu.com/betard/9999");
    EXPECT_EQ(betardUrl("http://127.0.0.1:8080/", "a/../b?c"), "http://127.0.0.1:8080/betard/a%2F..%2Fb%3Fc");
    EXPECT_EQ(roomNumberOf(" 9999 "), "9999");
    EXPECT_EQ(roomNumberOf("yyf"), std::nullopt);
    EXPECT_EQ(roomNumberOf("0"), std::nullopt);
}
