#include <gtest/gtest.h>

#include "core/announcement_rules.h"
#include "fake_speech.h"
#include "speech/gift_tally.h"
#include "util/text.h"

namespace {

std::string gbk(const std::string& utf8) {
    return util::utf8ToLocal(utf8);
}

std::shared_ptr<const Replacements> list(std::vector<std::string> utf8Lines) {
    auto table = std::make_shared<Replacements>();
    for (auto& line : utf8Lines) {
        line = gbk(line);
    }
    table->addLines(utf8Lines);
    return table;
}

enum class Event { Chat, Paid, Welcome, Follow, Gift };

// What one event becomes under the host's wording; "" when nothing is said.
std::string announce(Event event, const AnnouncementTexts& texts, bool nickname, const std::string& name,
                     const std::string& text, std::int64_t amount) {
    FakeSpeech speech;
    speech.settings.queueLimit = 10;
    AnnouncementRules rules(speech,
                            [](const std::string& t) { return t.find(gbk("广告")) != std::string::npos; });
    rules.setSwitches({true, true, true, nickname, 2, 60, false, false, true});
    rules.setTexts(texts);
    switch (event) {
        case Event::Chat:
        case Event::Paid: {
            auto chat = std::make_unique<ChatEvent>(gbk(name), gbk(text));
            chat->skipLengthLimits = event == Event::Paid;
            chat->price = amount;
            rules.onChatEvent(std::move(chat));
            break;
        }
        case Event::Welcome:
            rules.onEnterEvent(std::make_unique<ChatEvent>(gbk(name), ""));
            break;
        case Event::Follow:
            rules.onInteractionEvent(std::make_unique<InteractionEvent>(gbk(name), InteractionKind::Follow));
            break;
        case Event::Gift: {
            auto gift = std::make_unique<GiftEvent>(gbk(name), gbk(text), 2);
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
    }
    return speech.queue.empty() ? "" : util::localToUtf8(speech.queue.front());
}

}  // namespace

TEST(HostWording, TemplatesAndListsShapeEachAnnouncement) {
    AnnouncementTexts none;
    AnnouncementTexts own;
    own.chat = gbk("{name}:{text}");
    own.gift = gbk("{name}送了{count}个{gift}共{price}{oops}");
    own.welcome = gbk("欢迎{name}{");
    own.follow = gbk("谢谢关注");  // no placeholder: said as written
    own.paid = gbk("{name}付费{price}:{text}");
    AnnouncementTexts lists;
    lists.nicknames = list({"小明=明哥", "broken line", "=空", " 阿花 = 花花 "});
    lists.words = list({"666=厉害", "66=六六", "广告=好", "草=", "{name}=x"});
    AnnouncementTexts cheap;
    cheap.minGiftValue = 100;
    AnnouncementTexts huge;
    huge.chat = std::string(10240, 'a') + "{text}";

    struct Case {
        Event event;
        const AnnouncementTexts& texts;
        bool nickname;
        const char* name;
        const char* text;
        std::int64_t amount;
        std::string said;
    };
    const Case cases[] = {
        // Without templates or lists, today's wording byte for byte.
        {Event::Chat, none, true, "小明", "你好", 0, "小明说:你好"},
        {Event::Chat, none, false, "小明", "你好", 0, "你好"},
        {Event::Welcome, none, true, "小明", "", 0, "滴!滴!欢迎小明来到本直播间!"},
        {Event::Follow, none, true, "小明", "", 0, "感谢小明的关注"},
        {Event::Gift, none, true, "小明", "辣条", 5, "感谢小明赠送的4个辣条"},
        {Event::Paid, none, true, "小明", "加油", 0, "小明说:加油"},  // no amount given
        {Event::Paid, none, true, "小明", "加油", 30, "小明的醒目留言30元:加油"},
        {Event::Paid, none, false, "小明", "加油", 30, "小明的醒目留言30元:加油"},
        // The host's templates; unknown placeholders and stray braces stay.
        {Event::Chat, own, true, "小明", "你好", 0, "小明:你好"},
        {Event::Chat, own, false, "小明", "你好", 0, "你好"},
        {Event::Chat, own, true, "{text}", "你好", 0, "{text}:你好"},  // fields are not expanded again
        {Event::Welcome, own, true, "小明", "", 0, "欢迎小明{"},
        {Event::Follow, own, true, "小明", "", 0, "谢谢关注"},
        {Event::Gift, own, true, "小明", "辣条", 5, "小明送了4个辣条共10{oops}"},
        {Event::Gift, own, true, "小明", "辣条", -1, "小明送了4个辣条共{oops}"},
        {Event::Paid, own, true, "小明", "加油", 30, "小明付费30:加油"},
        {Event::Chat, huge, true, "小明", "你好", 0, std::string(kMaxAnnouncementChars, 'a')},
        // Lists: whole nicknames, longest words first; the filter sees the original.
        {Event::Chat, lists, true, "小明", "666 66", 0, "明哥说:厉害 六六"},
        {Event::Chat, lists, true, "阿花", "草草", 0, ""},  // replaced by nothing: not read
        {Event::Chat, lists, true, "阿花", "买广告", 0, ""},
        {Event::Chat, lists, true, "阿花", "{name}好", 0, "花花说:x好"},
        {Event::Welcome, lists, true, "小明", "", 0, "滴!滴!欢迎明哥来到本直播间!"},
        {Event::Gift, lists, true, "小明", "辣条", -1, "感谢明哥赠送的4个辣条"},
        // The minimum gift value applies where the value is known.
        {Event::Gift, cheap, true, "小明", "辣条", 99, ""},
        {Event::Gift, cheap, true, "小明", "辣条", 100, "感谢小明赠送的4个辣条"},
        {Event::Gift, cheap, true, "小明", "辣条", -1, "感谢小明赠送的4个辣条"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(announce(c.event, c.texts, c.nickname, c.name, c.text, c.amount), c.said)
            << c.name << " " << c.text;
    }
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
