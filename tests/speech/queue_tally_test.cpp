#include <gtest/gtest.h>

#include <optional>

#include "speech/gbk_text.h"
#include "speech/gift_tally.h"
#include "speech/speech_queue.h"
#include "util/text.h"

namespace {

using speech::GiftTally;
using speech::SpeechQueue;
using Texts = std::vector<std::string>;

std::string gbk(const std::string& utf8) {
    return util::utf8ToLocal(utf8);
}

std::string thanks(const char* name, int count, const char* gift) {
    return gbk("感谢" + std::string(name) + "赠送的" + std::to_string(count) + "个" + gift);
}

GiftEvent gift(const char* name, const char* what, int count) {
    return GiftEvent(gbk(name), gbk(what), count);
}

TEST(SpeechQueue, BoundsTheBackButNotTheFront) {
    SpeechQueue queue(3);
    for (const char* text : {"c0", "c1", "c2", "dropped"}) {
        queue.push(text, false);
    }
    queue.push("welcome", true);
    EXPECT_EQ(queue.snapshot(), (Texts{"welcome", "c0", "c1", "c2"}));
    std::string next;
    ASSERT_TRUE(queue.pop(next) && queue.pop(next));
    queue.setLimit(1);  // a lower limit applies to the next push at the back
    queue.push("also dropped", false);
    EXPECT_EQ(queue.snapshot(), (Texts{"c1", "c2"}));
}

TEST(GiftTally, FoldsGiftsIntoThankYouTexts) {
    struct Step {
        std::int64_t at;                // whole seconds
        std::optional<GiftEvent> gift;  // none: a flush
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Texts queued;  // front first, after the last step; a chat text was queued before
    };
    const std::vector<Case> cases{
        {"same kind sums, waits 3 whole quiet seconds",
         {{100, gift("A", "鲜花", 1)}, {101, gift("A", "鲜花", 2)}, {103, {}}},
         {"chat"}},
        {"...then goes",
         {{100, gift("A", "鲜花", 1)}, {101, gift("A", "鲜花", 2)}, {104, {}}},
         {thanks("A", 3, "鲜花"), "chat"}},
        {"another kind announces the running sum at once",
         {{100, gift("A", "X", 5)}, {100, gift("A", "Y", 1)}},
         {thanks("A", 5, "X"), "chat"}},
        {"entries expiring together stand in reverse key order",
         {{100, gift("A", "X", 1)}, {101, gift("B", "Y", 2)}, {104, {}}},
         {thanks("B", 2, "Y"), thanks("A", 1, "X"), "chat"}},
        {"only the quiet sender goes",
         {{100, gift("A", "X", 1)}, {102, gift("B", "Y", 2)}, {103, {}}},
         {thanks("A", 1, "X"), "chat"}},
        {"huge counts saturate",
         {{100, gift("A", "X", 2147483647)}, {100, gift("A", "X", 5)}, {103, {}}},
         {thanks("A", 2147483647, "X"), "chat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpeechQueue queue;
        GiftTally tally;
        queue.push("chat", false);
        for (const auto& step : c.steps) {
            step.gift ? tally.add(*step.gift, step.at, queue) : tally.flush(step.at, queue);
        }
        EXPECT_EQ(queue.snapshot(), c.queued);
    }
}

TEST(GbkText, LongTextsAreCutOnACharacterBoundary) {
    // The fixed part before the gift name takes 15 bytes, so a two-byte
    // character at gift bytes 495..496 would end at byte 512.
    std::string giftName(600, 'n');
    giftName.replace(495, 2, gbk("你"));
    EXPECT_EQ(speech::thankYouText(gbk("好"), 1, giftName, 511),
              speech::thankYouText(gbk("好"), 1, giftName.substr(0, 495), 511));
    EXPECT_EQ(speech::truncateGbk(gbk("a鲜花"), 4), gbk("a鲜"));
}

}  // namespace
