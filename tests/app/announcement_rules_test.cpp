#include "core/announcement_rules.h"

#include <gtest/gtest.h>

#include "fake_speech.h"
#include "util/text.h"

namespace {

std::string gbk(const std::string& utf8) {
    return util::utf8ToLocal(utf8);
}

struct Rig {
    FakeSpeech speech;
    AnnouncementRules rules{
        speech, [](const std::string& text) { return text.find(gbk("广告")) != std::string::npos; },
        [] { return std::int64_t{1457000000}; }};

    explicit Rig(bool nickname = false) {
        speech.settings.queueLimit = 100;
        rules.setSwitches({true, true, true, nickname, 2, 60});
    }
    void chat(const std::string& name, const std::string& text) {
        rules.onChatEvent(std::make_unique<ChatEvent>(name, text));
    }
};

}  // namespace

TEST(BracketRemoval, RemovesLeftmostPairsOverBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"a[b]c[d]e", "ace"},
        {"a]b[c", "a]b[c"},
        {"[abc", "[abc"},
        {"[a[b]c]d", "c]d"},
        // A trail byte 0x5B opens a segment, whatever character it belongs to.
        {"x\x81\x5B"
         "y]z",
         "x\x81z"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(removeBracketedSegments(in), out) << in;
    }
}

TEST(ChatRule, AnnouncesOnlyCleanTextsStrictlyWithinTheLimits) {
    std::string twentyNine;
    for (int i = 0; i < 29; ++i) {
        twentyNine += "字";
    }
    const std::string thirty = twentyNine + "字";
    const std::pair<std::string, std::string> cases[] = {
        // text, announcement ("" when dropped)
        {"好", ""},  // 2 bytes is not above the minimum
        {"ok", ""},
        {"666", "666"},
        {"   ", ""},
        {"[表情][表情]", ""},
        {"  [表情]哈哈  ", "哈哈"},
        {"买广告位", ""},
        {thirty, ""},  // 60 bytes is not below the maximum
        {twentyNine, twentyNine},
    };
    for (const auto& [text, announced] : cases) {
        Rig rig;
        rig.chat("a", gbk(text));
        EXPECT_EQ(rig.speech.queue.empty() ? "" : util::localToUtf8(rig.speech.queue.front()), announced)
            << text;
    }
}

TEST(ChatRule, NicknameIsPrefixedButNotCounted) {
    Rig rig(true);
    rig.rules.setSwitches({true, true, true, true, 3, 5});  // only a 4-byte message fits
    rig.chat(gbk("小明"), gbk("你好"));
    ASSERT_EQ(rig.speech.queue.size(), 1u);
    EXPECT_EQ(rig.speech.queue.front(), gbk("小明说:你好"));
}

TEST(Rules, SwitchedOffKindsAreDropped) {
    Rig rig;
    rig.rules.setSwitches({});
    rig.chat("a", "hello");
    rig.rules.onEnterEvent(std::make_unique<ChatEvent>("b", ""));
    rig.rules.onGiftEvent(std::make_unique<GiftEvent>("c", "rose", 3));
    EXPECT_TRUE(rig.speech.queue.empty());
    EXPECT_TRUE(rig.speech.gifts.empty());
}

TEST(WelcomeRule, WelcomesGoToTheFrontLaterFirstEvenWhenFull) {
    Rig rig;
    for (int i = 0; i <= 100; ++i) {
        rig.chat("a", "msg" + std::to_string(i));  // the last one finds the queue full
    }
    rig.rules.onEnterEvent(std::make_unique<ChatEvent>(gbk("甲"), ""));
    rig.rules.onEnterEvent(std::make_unique<ChatEvent>(gbk("乙"), ""));
    ASSERT_EQ(rig.speech.queue.size(), 102u);
    EXPECT_EQ(rig.speech.queue[0], gbk("滴!滴!欢迎乙来到本直播间!"));
    EXPECT_EQ(rig.speech.queue[1], gbk("滴!滴!欢迎甲来到本直播间!"));
    EXPECT_EQ(rig.speech.queue[2], "msg0");
}

TEST(WelcomeRule, LongNamesAreCutOnACharacterBoundary) {
    ASSERT_EQ(welcomeText("").size(), 23u);
    // The double-byte character would end at byte 1001 of the name.
    EXPECT_EQ(welcomeText(std::string(999, 'n') + gbk("龙")), welcomeText(std::string(999, 'n')));
    EXPECT_EQ(welcomeText(std::string(5000, 'n')).size(), 1023u);
}

TEST(GiftRule, GiftsAreTimeStampedAndTallied) {
    Rig rig;
    rig.rules.onGiftEvent(std::make_unique<GiftEvent>(gbk("土豪"), gbk("火箭"), 2));
    ASSERT_EQ(rig.speech.gifts.size(), 1u);
    EXPECT_EQ(rig.speech.gifts[0].count, 2);
    EXPECT_EQ(rig.speech.gifts[0].time, 1457000000);
    EXPECT_TRUE(rig.speech.queue.empty());
}
