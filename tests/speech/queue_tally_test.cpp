#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

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

Texts words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
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
    // "giver/gift/count" in the golden file; room and muting aside.
    auto fields = [](const std::string& word) {
        const std::size_t first = word.find('/'), second = word.rfind('/');
        return std::tuple{word.substr(0, first), word.substr(first + 1, second - first - 1),
                          word.substr(second + 1)};
    };
    for (const auto& c : testing_support::goldenCases("speech/gift_tally.txt")) {
        SCOPED_TRACE(c.in);
        SpeechQueue queue;
        GiftTally tally;
        queue.push("chat", false);
        for (const std::string& step : words(c.in)) {
            const std::size_t at = step.find('@'), room = step.find(':');
            const std::int64_t second = std::stoll(step.substr(at + 1));
            if (at == 0) {
                tally.flush(second, queue);
                continue;
            }
            auto [giver, what, count] = fields(step.substr(room + 1, at - room - 1));
            GiftEvent event(gbk(giver), gbk(what), std::stoi(count));
            event.room = room == std::string::npos ? "" : step.substr(0, room);
            tally.add(event, second, queue);
        }
        Texts expected;
        for (const std::string& word : words(c.out)) {
            if (word == "chat") {
                expected.push_back(word);
            } else {
                auto [giver, what, count] = fields(word);
                expected.push_back(gbk("感谢" + giver + "赠送的" + count + "个" + what));
            }
        }
        EXPECT_EQ(queue.snapshot(), expected);
        tally.drop(gbk("A"));
        tally.drop(gbk("B"));
        tally.flush(200, queue);
        EXPECT_EQ(queue.snapshot(), expected);
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
