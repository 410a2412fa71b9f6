#include "core/announcement_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "../platforms/golden.h"
#include "fake_speech.h"
#include "gbk.h"
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
    void chat(const std::string& name, const std::string& text) {
        rules.onChatEvent(std::make_unique<ChatEvent>(name, text));
    }
};

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
        const std::string text = gbk(c.in.substr(mode.size() + 1));
        if (mode == "strip") {
            EXPECT_EQ(util::localToUtf8(removeBracketedSegments(text)), c.out) << c.in;
            continue;
        }
        Rig rig(switches.at(mode));
        auto chat = std::make_unique<ChatEvent>(gbk("小明"), text);
        chat->skipLengthLimits = mode == "paid";
        rig.rules.onChatEvent(std::move(chat));
        EXPECT_EQ(rig.speech.queue.empty() ? "" : util::localToUtf8(rig.speech.queue.front()), c.out) << c.in;
        const SpeechKind kind = mode == "paid" ? SpeechKind::PaidChat : SpeechKind::Chat;
        EXPECT_EQ(rig.speech.kinds, c.out.empty() ? std::vector<SpeechKind>{} : std::vector{kind}) << c.in;
    }
    EXPECT_EQ(removeBracketedSegments("x\x81\x5By]z"), "x\x81\x5By]z");
}

TEST(ViewerSilencing, MutedAndFilteredNamesAreNeitherReadNorThanked) {
    const std::map<std::string, InteractionKind> interactions{{"Follow", InteractionKind::Follow},
                                                              {"Share", InteractionKind::Share},
                                                              {"Like", InteractionKind::Like}};
    const auto cases = testing_support::goldenCases("app/viewer_events.golden");
    ASSERT_EQ(cases.size(), 20u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|'), bar2 = c.in.find('|', bar + 1);
        const std::string event = c.in.substr(0, bar), on = c.in.substr(bar + 1, bar2 - bar - 1);
        const std::string name = gbk(c.in.substr(bar2 + 1));
        auto has = [&on](char letter) { return on.find(letter) != std::string::npos; };
        AnnouncementSwitches switches{has('c'), has('g'), has('w'), false, 2, 60, has('n')};
        switches.speakFollows = has('F');
        switches.speakShares = has('S');
        switches.speakLikes = has('L');
        Rig rig(switches);
        rig.rules.setMutedNames({gbk("黑粉"), gbk("禁言者")});
        rig.chat("a", "waiting line");
        if (event == "Chat") {
            rig.chat(name, gbk("主播好"));
        } else if (event == "Gift") {
            rig.rules.onGiftEvent(std::make_unique<GiftEvent>(name, gbk("火箭"), 1));
        } else if (event == "Enter") {
            rig.rules.onEnterEvent(std::make_unique<ChatEvent>(name, ""));
        } else {
            rig.rules.onInteractionEvent(std::make_unique<InteractionEvent>(name, interactions.at(event)));
        }
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
        const std::string who = step.in.substr(bar + 1, bar2 - bar - 1), text = gbk(step.in.substr(bar2 + 1));
        rig.now += std::chrono::milliseconds(std::stoi(step.in.substr(0, bar)));
        const Announcement held{1, {text, SpeechKind::Chat, gbk("乙")}, 0};
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
            rig.chat(gbk(who), text);
            expected += step.out == "read" ? 1 : 0;
        }
        EXPECT_EQ(rig.speech.queue.size(), expected) << step.in;
    }
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

TEST(Ceiling, NamesAndAnnouncementsAreCutWhateverTheServerSends) {
    const auto cases = testing_support::goldenCases("app/ceiling.golden");
    ASSERT_EQ(cases.size(), 5u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|', 2);
        const std::string name = gbk(expand(c.in.substr(2, bar - 2))), text = expand(c.in.substr(bar + 1));
        Rig rig({true, true, true, c.in[0] == '1', 2, 60});
        if (text.empty()) {
            rig.rules.onEnterEvent(std::make_unique<ChatEvent>(name, ""));
        } else {
            auto chat = std::make_unique<ChatEvent>(name, gbk(text));
            chat->skipLengthLimits = true;
            rig.rules.onChatEvent(std::move(chat));
        }
        ASSERT_EQ(rig.speech.queue.size(), 1u) << c.in;
        EXPECT_EQ(util::localToUtf8(rig.speech.queue.front()), expand(c.out)) << c.in;
    }
}
