#include <gtest/gtest.h>

#include <map>

#include "../platforms/golden.h"
#include "core/announcement_rules.h"
#include "fake_speech.h"
#include "gbk.h"
#include "speech/gift_tally.h"
#include "util/text.h"

namespace {

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
    const std::string event = f[0], name = f[3], text = f[4];
    const std::int64_t amount = std::stoll(f[5]);
    FakeSpeech speech;
    AnnouncementRules rules(speech,
                            [](const std::string& t) { return t.find(gbk("广告")) != std::string::npos; });
    rules.setSwitches({true, true, true, f[2] == "1", 2, 60, false, false, true});
    rules.setTexts(texts);
    if (event == "Chat" || event == "Paid") {
        auto chat = std::make_unique<ChatEvent>(gbk(name), gbk(text));
        chat->skipLengthLimits = event == "Paid";
        chat->price = amount;
        rules.onChatEvent(std::move(chat));
    } else if (event == "Welcome") {
        rules.onEnterEvent(std::make_unique<ChatEvent>(gbk(name), ""));
    } else if (event == "Follow") {
        rules.onInteractionEvent(std::make_unique<InteractionEvent>(gbk(name), InteractionKind::Follow));
    } else {
        auto gift = std::make_unique<GiftEvent>(gbk(name), gbk(text), f[6].empty() ? 2 : std::stoi(f[6]));
        gift->value = amount;
        rules.onGiftEvent(std::move(gift));
        if (speech.gifts.empty()) {
            return "";
        }
        speech::SpeechQueue queue;
        speech::GiftTally tally;
        tally.add(speech.gifts.front(), 0, queue);
        tally.add(speech.gifts.front(), 1, queue);  // the same gift again: folded
        tally.flush(10, queue);
        std::string said;
        queue.pop(said);
        return util::localToUtf8(said);
    }
    return speech.queue.empty() ? "" : util::localToUtf8(speech.queue.front());
}

}  // namespace

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
