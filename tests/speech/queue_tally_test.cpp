#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <optional>
#include <sstream>

#include "../platforms/golden.h"

#include "speech/gbk_text.h"
#include "speech/gift_tally.h"
#include "speech/speech_queue.h"
#include "speech/viewer_cooldown.h"
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

Texts words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

GiftEvent gift(const char* name, const char* what, int count, const char* room = "") {
    GiftEvent event(gbk(name), gbk(what), count);
    event.room = room;
    return event;
}

TEST(SpeechQueue, ChatIsBoundedAtTheBackAndEachFrontKindByItself) {
    const std::map<char, SpeechKind> kinds{{'c', SpeechKind::Chat},
                                           {'w', SpeechKind::Welcome},
                                           {'t', SpeechKind::Gift},
                                           {'p', SpeechKind::PaidChat}};
    for (const auto& c : testing_support::goldenCases("speech/queue.txt")) {
        SCOPED_TRACE(c.in);
        Texts pushes = words(c.in);
        SpeechQueue queue(std::stoi(pushes[0]));
        for (std::size_t i = 1; i < pushes.size(); ++i) {
            queue.push(SpeechItem{pushes[i], kinds.at(pushes[i][0]), {}});
        }
        EXPECT_EQ(queue.snapshot(), words(c.out));
        std::size_t counted = 0;
        for (const auto& [letter, kind] : kinds) {
            counted += queue.count(kind);
        }
        EXPECT_EQ(counted, queue.size());
    }
}

// A sender beyond the tally's capacity thanks the one given least recently,
// not the one first seen, and the count of senders never passes the cap.
TEST(GiftTally, HoldsABoundedNumberOfSenders) {
    SpeechQueue queue(5000);
    GiftTally tally;
    for (std::size_t i = 0; i < GiftTally::kMaxSenders; ++i) {
        tally.add(GiftEvent("s" + std::to_string(i), "X", 1), 100, queue);
    }
    tally.add(GiftEvent("s0", "X", 1), 101, queue);  // s0 gives again: s1 is now the quietest
    EXPECT_EQ(queue.size(), 0u);
    tally.add(GiftEvent("new", "X", 1), 101, queue);
    EXPECT_EQ(tally.size(), GiftTally::kMaxSenders);
    auto items = queue.items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].item.text, speech::thankYouText("s1", 1, "X", GiftTally::kFlushedTextBytes));
    EXPECT_EQ(items[0].item.kind, SpeechKind::Gift);
    EXPECT_EQ(items[0].item.viewer, "s1");
    // Every entry still expires; the tally is empty afterwards.
    tally.flush(104, queue);
    EXPECT_EQ(tally.size(), 0u);
    EXPECT_EQ(queue.size(), GiftTally::kMaxSenders + 1);
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
        {"the same name in two rooms is two senders",
         {{100, gift("A", "X", 1, "r1")},
          {100, gift("A", "X", 2, "r2")},
          {100, gift("A", "X", 4, "r1")},
          {103, {}}},
         {thanks("A", 2, "X"), thanks("A", 5, "X"), "chat"}},
        {"...and a viewer muted meanwhile is thanked in neither",
         {{100, gift("A", "X", 1, "r1")}, {100, gift("A", "X", 2, "r2")}},
         {"chat"}},
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
        // Muted viewers are thanked for nothing still being summed.
        tally.drop(gbk("A"));
        tally.drop(gbk("B"));
        tally.flush(200, queue);
        EXPECT_EQ(queue.snapshot(), c.queued);
    }
}

TEST(ViewerCooldown, DropsAViewersLinesWithinTheCooldownOfTheLastOneRead) {
    for (const auto& c : testing_support::goldenCases("speech/viewer_cooldown.txt")) {
        Texts lines = words(c.in), read;
        speech::ViewerCooldown cooldown;
        cooldown.setSeconds(std::stoll(lines[0]));
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::size_t at = lines[i].find('@');
            if (cooldown.admit(lines[i].substr(0, at), std::stoll(lines[i].substr(at + 1)))) {
                read.push_back(lines[i]);
            }
        }
        EXPECT_EQ(read, words(c.out)) << c.in;
    }
    // Ever new names keep memory bounded.
    speech::ViewerCooldown flood;
    flood.setSeconds(60);
    for (std::size_t i = 0; i < speech::ViewerCooldown::kMaxViewers + 10; ++i) {
        ASSERT_TRUE(flood.admit("v" + std::to_string(i), 100));
    }
    EXPECT_LE(flood.size(), speech::ViewerCooldown::kMaxViewers);
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
