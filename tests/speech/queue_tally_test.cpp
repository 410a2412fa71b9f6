#include <gtest/gtest.h>

#include <optional>

#include "speech/gbk_text.h"
#include "speech/gift_tally.h"
#include "speech/speech_queue.h"
#include "speech/wav_names.h"
#include "util/text.h"

namespace {

using speech::GiftTally;
using speech::SpeechQueue;
using Texts = std::vector<std::string>;

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

std::string thanks(const char* name, int count, const char* gift) {
    return gbk(("感谢" + std::string(name) + "赠送的" + std::to_string(count) + "个" + gift).c_str());
}

GiftEvent gift(const char* name, const char* what, int count) {
    return GiftEvent(gbk(name), gbk(what), count);
}

TEST(SpeechQueue, BoundsTheBackButNotTheFront) {
    SpeechQueue queue(100);
    for (int i = 0; i < 100; ++i) {
        queue.push("chat" + std::to_string(i), false);
    }
    queue.push("dropped", false);
    queue.push("welcome", true);
    EXPECT_EQ(queue.size(), 101u);
    std::string next;
    ASSERT_TRUE(queue.pop(next));
    EXPECT_EQ(next, "welcome");
    ASSERT_TRUE(queue.pop(next));
    EXPECT_EQ(next, "chat0");
    EXPECT_EQ(queue.snapshot().back(), "chat99");

    queue.setLimit(3);  // a lower limit applies to the next push at the back
    queue.push("also dropped", false);
    EXPECT_EQ(queue.snapshot().back(), "chat99");
}

TEST(GiftTally, FoldsGiftsIntoThankYouTexts) {
    struct Step {
        std::int64_t at;
        std::optional<GiftEvent> gift;  // none: a flush
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Texts queued;  // front first, after the last step; a chat text was queued before
    };
    const std::vector<Case> cases{
        {"same kind sums, spoken after 3 quiet seconds",
         {{100, gift("A", "鲜花", 1)}, {101, gift("A", "鲜花", 2)}, {103, {}}},
         {"chat"}},
        {"...and goes on the third whole second",
         {{100, gift("A", "鲜花", 1)}, {101, gift("A", "鲜花", 2)}, {104, {}}},
         {thanks("A", 3, "鲜花"), "chat"}},
        {"another kind announces the running sum at once",
         {{100, gift("A", "X", 5)}, {100, gift("A", "Y", 1)}},
         {thanks("A", 5, "X"), "chat"}},
        {"...and the new kind follows after quiet",
         {{100, gift("A", "X", 5)}, {100, gift("A", "Y", 1)}, {103, {}}},
         {thanks("A", 1, "Y"), thanks("A", 5, "X"), "chat"}},
        {"entries expiring together stand in reverse key order",
         {{100, gift("A", "X", 1)}, {101, gift("B", "Y", 2)}, {104, {}}},
         {thanks("B", 2, "Y"), thanks("A", 1, "X"), "chat"}},
        {"huge counts saturate",
         {{100, gift("A", "X", 2147483647)}, {100, gift("A", "X", 5)}, {103, {}}},
         {thanks("A", 2147483647, "X"), "chat"}},
        {"only the quiet sender goes",
         {{100, gift("A", "X", 1)}, {102, gift("B", "Y", 2)}, {103, {}}},
         {thanks("A", 1, "X"), "chat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpeechQueue queue;
        GiftTally tally;
        queue.push("chat", false);
        for (const auto& step : c.steps) {
            if (step.gift) {
                tally.add(*step.gift, step.at, queue);
            } else {
                tally.flush(step.at, queue);
            }
        }
        EXPECT_EQ(queue.snapshot(), c.queued);
    }
}

TEST(GbkText, LongTextsAreCutOnACharacterBoundary) {
    // The fixed part before the gift name takes 15 bytes, so a two-byte
    // character at gift bytes 495..496 would end at byte 512.
    std::string giftName(600, 'n');
    giftName[495] = '\xC4';
    giftName[496] = '\xE3';
    std::string text = speech::thankYouText(gbk("好"), 1, giftName, 511);
    EXPECT_EQ(text.size(), 510u);
    EXPECT_EQ(text.back(), 'n');
    EXPECT_EQ(speech::truncateGbk(gbk("a鲜花"), 4), gbk("a鲜"));

    std::string longName(2000, 'x');
    SpeechQueue queue;
    GiftTally tally;
    tally.add(GiftEvent(longName, "X", 1), 0, queue);
    tally.add(GiftEvent(longName, "Y", 1), 0, queue);
    tally.flush(3, queue);
    auto queued = queue.snapshot();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].size(), GiftTally::kFlushedTextBytes);
    EXPECT_EQ(queued[1].size(), GiftTally::kImmediateTextBytes);
}

TEST(WavNames, FollowLocalTimeAndThreadWithACounterOnlyWhenTaken) {
    std::tm t{};
    t.tm_year = 116, t.tm_mon = 2, t.tm_mday = 1, t.tm_hour = 14, t.tm_min = 25, t.tm_sec = 7;
    auto none = [](const std::string&) { return false; };
    auto first = [](const std::string& path) { return path == "/w/20160301142507-4312.wav"; };
    EXPECT_EQ(speech::wavFilePath("/w/", t, 4312, none), "/w/20160301142507-4312.wav");
    EXPECT_EQ(speech::wavFilePath("/w/", t, 4312, first), "/w/20160301142507-4312-2.wav");
}

}  // namespace
