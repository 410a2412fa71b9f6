#include <gtest/gtest.h>

#include <optional>

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

GiftEvent gift(const char* name, const char* what, int count, const char* room = "") {
    GiftEvent event(gbk(name), gbk(what), count);
    event.room = room;
    return event;
}

TEST(SpeechQueue, ChatIsBoundedAtTheBackAndEachFrontKindByItself) {
    using K = SpeechKind;
    struct Case {
        const char* name;
        std::int32_t limit;
        std::vector<std::pair<const char*, K>> pushes;
        Texts queued;  // front first
    };
    const std::vector<Case> cases{
        {"chat over the limit is dropped",
         3,
         {{"c0", K::Chat}, {"c1", K::Chat}, {"c2", K::Chat}, {"dropped", K::Chat}},
         {"c0", "c1", "c2"}},
        {"a welcome passes a full chat queue",
         2,
         {{"c0", K::Chat}, {"c1", K::Chat}, {"w", K::Welcome}},
         {"w", "c0", "c1"}},
        {"a welcome over its cap replaces the oldest welcome",
         2,
         {{"w0", K::Welcome}, {"c0", K::Chat}, {"w1", K::Welcome}, {"w2", K::Welcome}},
         {"w2", "w1", "c0"}},
        {"thanks and welcomes are capped apart",
         1,
         {{"w0", K::Welcome}, {"t0", K::Gift}, {"w1", K::Welcome}, {"t1", K::Gift}},
         {"t1", "w1"}},
        {"a limit of 0 still lets the newest welcome through",
         0,
         {{"c0", K::Chat}, {"w0", K::Welcome}, {"w1", K::Welcome}, {"p0", K::PaidChat}},
         {"w1"}},
        {"paid lines wait behind welcomes and thanks, ahead of chat, first paid first read",
         5,
         {{"c0", K::Chat},
          {"w0", K::Welcome},
          {"p0", K::PaidChat},
          {"c1", K::Chat},
          {"t0", K::Gift},
          {"p1", K::PaidChat}},
         {"t0", "w0", "p0", "p1", "c0"}},
        {"at the limit a paid line takes the newest chat line's place; past it, it is dropped",
         2,
         {{"c0", K::Chat}, {"c1", K::Chat}, {"p0", K::PaidChat}, {"p1", K::PaidChat}, {"p2", K::PaidChat}},
         {"p0", "p1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpeechQueue queue(c.limit);
        for (const auto& [text, kind] : c.pushes) {
            queue.push(SpeechItem{text, kind, {}});
        }
        EXPECT_EQ(queue.snapshot(), c.queued);
        std::size_t counted = 0;
        for (K kind : {K::Chat, K::Gift, K::Welcome, K::PaidChat}) {
            counted += queue.count(kind);
        }
        EXPECT_EQ(counted, queue.size());
    }
}

TEST(SpeechQueue, ItemsKeepTheirKindViewerAndOrderOfArrival) {
    SpeechQueue queue;
    queue.push(SpeechItem{"chat", SpeechKind::Chat, "a"});
    queue.push(SpeechItem{"welcome", SpeechKind::Welcome, "b"});
    auto items = queue.items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].item.viewer, "b");
    EXPECT_EQ(items[1].item.kind, SpeechKind::Chat);
    EXPECT_GT(items[0].id, items[1].id);
    Announcement taken;
    ASSERT_TRUE(queue.pop(taken));
    EXPECT_EQ(taken.item.text, "welcome");
    EXPECT_EQ(queue.clear(), 1u);
    EXPECT_FALSE(queue.pop(taken));
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
    struct Line {
        const char* viewer;
        std::int64_t at;
        bool read;
    };
    struct Case {
        const char* name;
        std::int64_t seconds;
        std::vector<Line> lines;
    };
    const std::vector<Case> cases{
        {"off reads everything", 0, {{"a", 100, true}, {"a", 100, true}}},
        {"within the cooldown is dropped, at its end read",
         5,
         {{"a", 100, true}, {"a", 104, false}, {"a", 105, true}, {"a", 109, false}}},
        {"a dropped line does not extend the cooldown",
         5,
         {{"a", 100, true}, {"a", 103, false}, {"a", 105, true}}},
        {"viewers count apart", 5, {{"a", 100, true}, {"b", 101, true}, {"a", 101, false}}},
        {"a clock gone back lets the line through", 5, {{"a", 100, true}, {"a", 50, true}, {"a", 52, false}}},
        {"lines without a viewer are never held back", 5, {{"", 100, true}, {"", 100, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        speech::ViewerCooldown cooldown;
        cooldown.setSeconds(c.seconds);
        for (const auto& line : c.lines) {
            EXPECT_EQ(cooldown.admit(line.viewer, line.at), line.read) << line.viewer << " at " << line.at;
        }
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
