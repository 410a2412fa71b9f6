// The announcement rules against a speech double: which events are read, in
// what words, and what is cut, folded or silenced.
#include "core/announcement_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "../platforms/golden.h"
#include "fake_speech.h"
#include "gbk.h"
#include "speech/gift_tally.h"
#include "util/text.h"

namespace {

struct Rig {
    std::chrono::steady_clock::time_point now{};
    FakeSpeech speech;
    AnnouncementRules rules{
        speech, [](const std::string& text) { return text.find(gbk("广告")) != std::string::npos; },
        [this] { return now; }};

    explicit Rig(AnnouncementSwitches switches = {true, true, true, false, 2, 60}) {
        rules.setSwitches(switches);
    }
};

// One event as the golden files name it (Chat, Paid, Gift, Enter, Follow,
// Share, Like), its texts in UTF-8.
void deliver(AnnouncementRules& rules, const std::string& event, const std::string& name,
             const std::string& text = "", std::int64_t amount = 0, std::int32_t count = 1) {
    static const std::map<std::string, InteractionKind> interactions{{"Follow", InteractionKind::Follow},
                                                                     {"Share", InteractionKind::Share},
                                                                     {"Like", InteractionKind::Like}};
    if (event == "Chat" || event == "Paid") {
        auto chat = std::make_unique<ChatEvent>(gbk(name), gbk(text));
        chat->skipLengthLimits = event == "Paid";
        chat->price = amount;
        rules.onChatEvent(std::move(chat));
    } else if (event == "Gift") {
        auto gift = std::make_unique<GiftEvent>(gbk(name), gbk(text), count);
        gift->value = amount;
        rules.onGiftEvent(std::move(gift));
    } else if (event == "Enter") {
        rules.onEnterEvent(std::make_unique<ChatEvent>(gbk(name), ""));
    } else {
        rules.onInteractionEvent(std::make_unique<InteractionEvent>(gbk(name), interactions.at(event)));
    }
}

std::shared_ptr<const Replacements> list(std::vector<std::string> utf8Lines) {
    auto table = std::make_shared<Replacements>();
    for (auto& line : utf8Lines) {
        line = gbk(line);
    }
    table->addLines(utf8Lines);
    return table;
}

// What one event, given as the golden file's fields, becomes under the host's
// wording; "" when nothing is said.
std::string announce(std::vector<std::string> f, const AnnouncementTexts& texts) {
    f.resize(7);
    Rig rig({true, true, true, f[2] == "1", 2, 60, false, false, true});
    rig.rules.setTexts(texts);
    deliver(rig.rules, f[0], f[3], f[4], std::stoll(f[5]), f[6].empty() ? 2 : std::stoi(f[6]));
    if (f[0] != "Gift") {
        return rig.speech.queue.empty() ? "" : util::localToUtf8(rig.speech.queue.front());
    }
    if (rig.speech.gifts.empty()) {
        return "";
    }
    speech::SpeechQueue queue;
    speech::GiftTally tally;
    tally.add(rig.speech.gifts.front(), 0, queue);
    tally.add(rig.speech.gifts.front(), 1, queue);  // the same gift again: folded
    tally.flush(10, queue);
    std::string said;
    queue.pop(said);
    return util::localToUtf8(said);
}

// The golden file's "unit*count" pieces joined by "+".
std::string expand(const std::string& spec) {
    std::string out;
    std::istringstream pieces(spec);
    for (std::string piece; std::getline(pieces, piece, '+');) {
        const std::size_t star = piece.rfind('*');
        for (std::size_t i = star == std::string::npos ? 1 : std::stoul(piece.substr(star + 1)); i > 0; --i) {
            out += piece.substr(0, star);
        }
    }
    return out;
}

}  // namespace

// The cases are in the golden file; 81 5B is one more GBK character whose
// second byte is '[' yet opens nothing.
TEST(ChatRule, AnnouncesOnlyCleanTextsStrictlyWithinTheLimits) {
    const std::map<std::string, AnnouncementSwitches> switches{{"on", {true, true, true, false, 2, 60}},
                                                               {"paid", {true, true, true, false, 2, 60}},
                                                               {"tight", {true, true, true, true, 3, 5}},
                                                               {"off", {false, true, true, true, 2, 60}}};
    const auto cases = testing_support::goldenCases("app/chat_rule.golden");
    ASSERT_EQ(cases.size(), 23u);
    for (const auto& c : cases) {
        const std::string mode = c.in.substr(0, c.in.find('|'));
        const std::string text = c.in.substr(mode.size() + 1);
        if (mode == "strip") {
            EXPECT_EQ(util::localToUtf8(removeBracketedSegments(gbk(text))), c.out) << c.in;
            continue;
        }
        Rig rig(switches.at(mode));
        deliver(rig.rules, mode == "paid" ? "Paid" : "Chat", "小明", text);
        EXPECT_EQ(rig.speech.queue.empty() ? "" : util::localToUtf8(rig.speech.queue.front()), c.out) << c.in;
        const SpeechKind kind = mode == "paid" ? SpeechKind::PaidChat : SpeechKind::Chat;
        EXPECT_EQ(rig.speech.kinds, c.out.empty() ? std::vector<SpeechKind>{} : std::vector{kind}) << c.in;
    }
    EXPECT_EQ(removeBracketedSegments("x\x81\x5By]z"), "x\x81\x5By]z");
}

TEST(ViewerSilencing, MutedAndFilteredNamesAreNeitherReadNorThanked) {
    const auto cases = testing_support::goldenCases("app/viewer_events.golden");
    ASSERT_EQ(cases.size(), 20u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|'), bar2 = c.in.find('|', bar + 1);
        const std::string event = c.in.substr(0, bar), on = c.in.substr(bar + 1, bar2 - bar - 1);
        auto has = [&on](char letter) { return on.find(letter) != std::string::npos; };
        Rig rig({has('c'), has('g'), has('w'), false, 2, 60, has('n'), false, has('F'), has('S'), has('L')});
        rig.rules.setMutedNames({gbk("黑粉"), gbk("禁言者")});
        deliver(rig.rules, "Chat", "a", "waiting line");
        deliver(rig.rules, event, c.in.substr(bar2 + 1), event == "Chat" ? "主播好" : "火箭");
        std::string heard;
        for (const std::string& line : rig.speech.queue) {
            heard += (heard.empty() ? "" : " / ") + util::localToUtf8(line);
        }
        EXPECT_EQ(heard + (rig.speech.gifts.empty() ? "" : " / thanked"), c.out) << c.in;
    }
    EXPECT_EQ(interactionText(InteractionKind::Follow, std::string(3000, 'x')).size(),
              kMaxSpokenNameChars + 10u);
}

TEST(RepeatFolding, RecentOrHeldTextsAreReadOnceWhileFoldingIsOn) {
    Rig rig;
    std::size_t expected = 0;
    const auto steps = testing_support::goldenCases("app/repeat_folding.golden");
    ASSERT_EQ(steps.size(), 18u);
    for (const auto& step : steps) {
        const std::size_t bar = step.in.find('|'), bar2 = step.in.find('|', bar + 1);
        const std::string who = step.in.substr(bar + 1, bar2 - bar - 1), text = step.in.substr(bar2 + 1);
        rig.now += std::chrono::milliseconds(std::stoi(step.in.substr(0, bar)));
        const Announcement held{1, {gbk(text), SpeechKind::Chat, gbk("乙")}, 0};
        if (who == "[fold]") {
            AnnouncementSwitches switches = rig.rules.switches();
            switches.foldRepeats = text == "on";
            rig.rules.setSwitches(switches);
        } else if (who == "[playing]") {
            rig.speech.reader.playing = held;
        } else if (who == "[waiting]") {
            rig.speech.reader.waiting.push_back(held);
        } else if (who == "[idle]") {
            rig.speech.reader = {};
        } else {
            deliver(rig.rules, "Chat", who, text);
            expected += step.out == "read" ? 1 : 0;
        }
        EXPECT_EQ(rig.speech.queue.size(), expected) << step.in;
    }
}

TEST(Ceiling, NamesAndAnnouncementsAreCutWhateverTheServerSends) {
    const auto cases = testing_support::goldenCases("app/ceiling.golden");
    ASSERT_EQ(cases.size(), 5u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|', 2);
        const std::string text = expand(c.in.substr(bar + 1));
        Rig rig({true, true, true, c.in[0] == '1', 2, 60});
        deliver(rig.rules, text.empty() ? "Enter" : "Paid", expand(c.in.substr(2, bar - 2)), text);
        ASSERT_EQ(rig.speech.queue.size(), 1u) << c.in;
        EXPECT_EQ(util::localToUtf8(rig.speech.queue.front()), expand(c.out)) << c.in;
    }
}

TEST(HostWording, TemplatesAndListsShapeEachAnnouncement) {
    std::map<std::string, AnnouncementTexts> wordings;
    AnnouncementTexts& own = wordings["own"];
    own.chat = gbk("{name}:{text}");
    own.gift = gbk("{name}送了{count}个{gift}共{price}{oops}");
    own.welcome = gbk("欢迎{name}{");
    own.follow = gbk("谢谢关注");
    own.paid = gbk("{name}付费{price}:{text}");
    wordings["lists"].nicknames = list({"小明=明哥", "broken line", "=空", " 阿花 = 花花 "});
    wordings["lists"].words = list({"666=厉害", "66=六六", "广告=好", "草=", "{name}=x"});
    wordings["cheap"].minGiftValue = 100;
    const auto cases = testing_support::goldenCases("app/host_wording.golden");
    ASSERT_EQ(cases.size(), 28u);
    for (const auto& c : cases) {
        std::vector<std::string> f;
        std::istringstream fields(c.in);
        for (std::string field; std::getline(fields, field, '|');) {
            f.push_back(field);
        }
        EXPECT_EQ(announce(f, wordings[f[1]]), c.out) << c.in;
    }
    AnnouncementTexts huge;
    huge.chat = std::string(10240, 'a') + "{text}";
    EXPECT_EQ(announce({"Chat", "", "1", "小明", "你好", "0"}, huge),
              std::string(kMaxAnnouncementChars, 'a'));
}

// A word list of 200,000 entries costs one lookup per distinct length per
// character, and a name list entry too long to be a key is skipped.
TEST(HostWording, ListsStayCheapWhateverTheirSize) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200'000; ++i) {
        lines.push_back("w" + std::to_string(i) + "=" + std::to_string(i % 10));
    }
    lines.push_back(std::string(Replacements::kMaxKeyBytes + 1, 'k') + "=x");
    Replacements words;
    EXPECT_EQ(words.addLines(lines), 1u);
    EXPECT_EQ(words.words(std::string(900, 'w') + "w199999!"), std::string(900, 'w') + "9!");
    Replacements longer;  // each byte becomes a kilobyte: the result stops near the ceiling
    longer.addLines({"a=" + std::string(1000, 'x')});
    EXPECT_LT(longer.words(std::string(1000, 'a')).size(), 3000u);
}
