#include "core/announcement_rules.h"

#include <gtest/gtest.h>

#include "fake_speech.h"
#include "util/text.h"

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

AnnouncementSwitches allOn() {
    AnnouncementSwitches s;
    s.speakChat = s.speakGifts = s.speakWelcome = true;
    s.speakNickname = false;
    s.minChatLength = 2;
    s.maxChatLength = 60;
    return s;
}

std::string repeat(const char* utf8, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += utf8;
    }
    return text;
}

struct Rig {
    FakeSpeech speech;
    std::vector<std::string> filterWords;
    AnnouncementRules rules{speech,
                            [this](const std::string& text) {
                                for (const auto& word : filterWords) {
                                    if (text.find(word) != std::string::npos) {
                                        return true;
                                    }
                                }
                                return false;
                            },
                            [] { return std::int64_t{1457000000}; }};

    Rig() {
        SpeechSettings settings;
        settings.queueLimit = 100;
        speech.applySettings(settings);
        rules.setSwitches(allOn());
    }
    void chat(const std::string& name, const std::string& text) {
        rules.onChatEvent(std::make_unique<ChatEvent>(name, text));
    }
    void enter(const std::string& name) { rules.onEnterEvent(std::make_unique<ChatEvent>(name, "")); }
};

}  // namespace

TEST(BracketRemoval, RemovesLeftmostPairsOverBytes) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a[b]c[d]e", "ace"},
        {"a]b[c", "a]b[c"},
        {"[abc", "[abc"},
        {"[x]" + gbk("哈哈"), gbk("哈哈")},
        {"[a[b]c]d", "c]d"},
        {"[][]", ""},
        // 0x5B as the trail byte of a double-byte character opens a segment.
        {std::string("x\x81\x5B"
                     "y]z"),
         std::string("x\x81z")},
        {std::string("\x81\x5D"), std::string("\x81\x5D")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(removeBracketedSegments(c.in), c.out) << c.in;
    }
}

TEST(ChatRule, AnnouncesOnlyCleanTextsStrictlyWithinTheLimits) {
    struct Case {
        const char* text;
        const char* announced;  // nullptr: dropped
    };
    const Case cases[] = {
        {"好", nullptr},  // 2 bytes: not above the minimum
        {"ok", nullptr},
        {"666", "666"},
        {"   ", nullptr},
        {"[表情][表情]", nullptr},
        {"  [表情]哈哈  ", "哈哈"},
        {"买广告位", nullptr},  // filtered
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.filterWords = {gbk("广告")};
        rig.chat(gbk("观众"), gbk(c.text));
        auto queue = rig.speech.queue();
        if (c.announced) {
            ASSERT_EQ(queue.size(), 1u) << c.text;
            EXPECT_EQ(queue.front(), gbk(c.announced));
        } else {
            EXPECT_TRUE(queue.empty()) << c.text;
        }
    }

    Rig rig;
    rig.chat("a", gbk(repeat("字", 30).c_str()));  // 60 bytes: not below the maximum
    EXPECT_TRUE(rig.speech.queue().empty());
    rig.chat("a", gbk(repeat("字", 29).c_str()));
    EXPECT_EQ(rig.speech.queue().size(), 1u);
}

TEST(ChatRule, NicknameIsPrefixedButNotCounted) {
    Rig rig;
    AnnouncementSwitches switches = allOn();
    switches.speakNickname = true;
    switches.minChatLength = 3;
    switches.maxChatLength = 5;  // only the 4-byte message fits
    rig.rules.setSwitches(switches);
    rig.chat(gbk("小明"), gbk("你好"));
    ASSERT_EQ(rig.speech.queue().size(), 1u);
    EXPECT_EQ(rig.speech.queue().front(), gbk("小明说:你好"));
}

TEST(ChatRule, SwitchedOffKindsAreDropped) {
    Rig rig;
    AnnouncementSwitches switches{};
    rig.rules.setSwitches(switches);
    rig.chat("a", "hello");
    rig.enter("b");
    auto gift = std::make_unique<GiftEvent>("c", "rose", 3);
    rig.rules.onGiftEvent(std::move(gift));
    EXPECT_TRUE(rig.speech.queue().empty());
    EXPECT_TRUE(rig.speech.gifts().empty());
}

TEST(WelcomeRule, WelcomesGoToTheFrontLaterFirstEvenWhenFull) {
    Rig rig;
    for (int i = 0; i < 100; ++i) {
        rig.chat("a", "msg" + std::to_string(i));
    }
    rig.chat("a", "dropped");
    ASSERT_EQ(rig.speech.queue().size(), 100u);
    rig.enter(gbk("甲"));
    rig.enter(gbk("乙"));
    auto queue = rig.speech.queue();
    ASSERT_EQ(queue.size(), 102u);
    EXPECT_EQ(queue[0], gbk("滴!滴!欢迎乙来到本直播间!"));
    EXPECT_EQ(queue[1], gbk("滴!滴!欢迎甲来到本直播间!"));
    EXPECT_EQ(queue[2], "msg0");
}

TEST(WelcomeRule, LongNamesAreCutOnACharacterBoundary) {
    const std::string fixed = welcomeText("");
    ASSERT_EQ(fixed.size(), 23u);
    // 999 ASCII bytes then a double-byte character: it would end at byte 1001.
    std::string name(999, 'n');
    name += gbk("龙");
    std::string text = welcomeText(name);
    EXPECT_EQ(text.size(), 23u + 999u);
    EXPECT_EQ(text, welcomeText(std::string(999, 'n')));
    EXPECT_EQ(welcomeText(std::string(5000, 'n')).size(), 1023u);
}

TEST(GiftRule, GiftsAreTimeStampedAndTallied) {
    Rig rig;
    rig.rules.onGiftEvent(std::make_unique<GiftEvent>(gbk("土豪"), gbk("火箭"), 2));
    auto gifts = rig.speech.gifts();
    ASSERT_EQ(gifts.size(), 1u);
    EXPECT_EQ(gifts[0].name, gbk("土豪"));
    EXPECT_EQ(gifts[0].count, 2);
    EXPECT_EQ(gifts[0].time, 1457000000);
    EXPECT_TRUE(rig.speech.queue().empty());
}
