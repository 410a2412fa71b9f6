#include "core/announcement_rules.h"

#include <algorithm>
#include <chrono>

#include "util/gbk.h"
#include "util/text.h"

std::string_view spokenName(std::string_view name) {
    return util::gbkPrefixChars(name, kMaxSpokenNameChars);
}

std::string removeBracketedSegments(std::string_view text) {
    // One pass: cutting out the leftmost segment leaves no "[" before it, so
    // each search starts where the last segment ended. A line of a million
    // "[]" costs a million steps, not a million copies of the line.
    std::string out;
    std::size_t from = 0;
    for (;;) {
        // Brackets only count where a character starts: the second byte of a
        // double-byte character may equal '[' or ']'.
        std::size_t open = util::gbkFind(text, "[", from);
        std::size_t close = open == std::string_view::npos ? open : util::gbkFind(text, "]", open);
        if (close == std::string_view::npos) {
            out.append(text.substr(from));
            return out;
        }
        out.append(text.substr(from, open - from));
        from = close + 1;
    }
}

std::string cleanedChatText(std::string_view text) {
    return util::trimCopy(removeBracketedSegments(text));
}

std::string chatAnnouncement(const ChatEvent& chat, const AnnouncementSwitches& switches,
                             const std::function<bool(const std::string&)>& isFiltered,
                             const AnnouncementTexts& texts) {
    if (!switches.speakChat) {
        return {};
    }
    std::string text = cleanedChatText(chat.text);
    // Compared in 64 bits: the limits come from a hand-editable file.
    auto length = static_cast<std::int64_t>(text.size());
    if (!chat.skipLengthLimits && (length <= switches.minChatLength || length >= switches.maxChatLength)) {
        return {};
    }
    // Only what can be spoken is filtered: a huge paid line must not cost
    // a pass of the whole filter list over megabytes.
    text = withinCeiling(std::move(text));
    if (text.empty() || (isFiltered && isFiltered(text))) {
        return {};
    }
    if (texts.words) {
        text = withinCeiling(texts.words->words(text));
        if (text.empty()) {
            return {};
        }
    }
    const std::string_view name = texts.nicknames ? texts.nicknames->wholeName(chat.name) : chat.name;
    if (chat.skipLengthLimits && !texts.paid.empty()) {
        const std::string price = chat.price > 0 ? std::to_string(chat.price) : std::string();
        return expandTemplate(texts.paid, {spokenName(name), text, {}, {}, price});
    }
    if (chat.skipLengthLimits && chat.price > 0) {
        return paidText(name, chat.price, text);
    }
    if (switches.speakNickname && !texts.chat.empty()) {
        return expandTemplate(texts.chat, {spokenName(name), text, {}, {}, {}});
    }
    if (switches.speakNickname) {
        static const std::string said = util::utf8ToLocal("说:");
        std::string spoken(spokenName(name));
        spoken += said;
        spoken += text;
        return withinCeiling(std::move(spoken));
    }
    return text;
}

std::string welcomeText(std::string_view name) {
    static const std::string before = util::utf8ToLocal("滴!滴!欢迎");
    static const std::string after = util::utf8ToLocal("来到本直播间!");
    std::string text = before;
    text += spokenName(name);
    text += after;
    return text;
}

std::string interactionText(InteractionKind kind, std::string_view name) {
    static const std::string thanks = util::utf8ToLocal("感谢");
    static const std::string follow = util::utf8ToLocal("的关注");
    static const std::string share = util::utf8ToLocal("分享直播间");
    static const std::string like = util::utf8ToLocal("的点赞");
    const std::string& after = kind == InteractionKind::Follow  ? follow
                               : kind == InteractionKind::Share ? share
                                                                : like;
    std::string text = thanks;
    text += spokenName(name);
    text += after;
    return text;
}

AnnouncementRules::AnnouncementRules(SpeechService& speech, FilterCheck isFiltered,
                                     RepeatFolder::Clock foldClock)
    : speech_(speech),
      isFiltered_(std::move(isFiltered)),
      folder_(foldClock ? std::move(foldClock) : [] { return std::chrono::steady_clock::now(); }) {}

void AnnouncementRules::setSwitches(const AnnouncementSwitches& switches) {
    if (!switches.foldRepeats) {
        folder_.reset();
    }
    switches_ = switches;
}

bool AnnouncementRules::silenced(const std::string& name) const {
    if (isMuted(name)) {
        return true;
    }
    return switches_.filterNames && !name.empty() && isFiltered_ && isFiltered_(name);
}

bool AnnouncementRules::isRepeat(const std::string& cleaned) {
    if (folder_.seen(cleaned)) {
        return true;
    }
    // A line may wait longer than the window in a long queue; it still
    // counts until it has been read.
    static const std::string said = util::utf8ToLocal("说:");
    const ReaderSnapshot reader = speech_.snapshot();
    auto sameText = [&](const Announcement& a) {
        if (a.item.kind != SpeechKind::Chat && a.item.kind != SpeechKind::PaidChat) {
            return false;
        }
        const std::string prefix = std::string(spokenName(a.item.viewer)) + said;
        std::string_view text = a.item.text;
        if (!a.item.viewer.empty() && text.substr(0, prefix.size()) == prefix) {
            text.remove_prefix(prefix.size());
        }
        return text == cleaned;
    };
    if ((reader.playing && sameText(*reader.playing)) ||
        std::any_of(reader.waiting.begin(), reader.waiting.end(), sameText)) {
        return true;
    }
    folder_.remember(cleaned);
    return false;
}

std::string_view AnnouncementRules::spokenAs(const std::string& name) const {
    return texts_.nicknames ? texts_.nicknames->wholeName(name) : std::string_view(name);
}

std::string AnnouncementRules::entryText(InteractionKind kind, bool isWelcome,
                                         const std::string& name) const {
    const std::string_view spoken = spokenAs(name);
    const std::string& pattern = isWelcome ? texts_.welcome : texts_.follow;
    if (isWelcome || kind == InteractionKind::Follow) {
        if (!pattern.empty()) {
            return expandTemplate(pattern, {spokenName(spoken), {}, {}, {}, {}});
        }
    }
    return isWelcome ? welcomeText(spoken) : interactionText(kind, spoken);
}

bool AnnouncementRules::belowMinimum(const GiftEvent& gift) const {
    return texts_.minGiftValue > 0 && gift.value >= 0 && gift.value < texts_.minGiftValue;
}

void AnnouncementRules::onChatEvent(std::unique_ptr<ChatEvent> chat) {
    if (!chat || silenced(chat->name)) {
        return;
    }
    std::string announcement = chatAnnouncement(*chat, switches_, isFiltered_, texts_);
    if (!announcement.empty() && switches_.foldRepeats &&
        isRepeat(withinCeiling(cleanedChatText(chat->text)))) {
        return;
    }
    std::string viewer = std::move(chat->name);
    std::string room = std::move(chat->room);
    const SpeechKind kind = chat->skipLengthLimits ? SpeechKind::PaidChat : SpeechKind::Chat;
    chat.reset();
    if (!announcement.empty()) {
        speech_.pushItem(SpeechItem{std::move(announcement), kind, std::move(viewer), std::move(room)});
    }
}

void AnnouncementRules::onGiftEvent(std::unique_ptr<GiftEvent> gift) {
    if (!gift || !switches_.speakGifts || silenced(gift->name)) {
        return;
    }
    // A gift arrived whatever its count says: a count missing from the
    // server's record reads as 0, and no viewer gives "0个" or "-3个".
    gift->count = std::max(gift->count, 1);
    if (belowMinimum(*gift)) {
        return;
    }
    if (const std::string_view spoken = spokenAs(gift->name); spoken != gift->name) {
        gift->spokenAs = spoken;
    }
    gift->wording = texts_.gift;
    speech_.addGift(*gift);
}

void AnnouncementRules::onEnterEvent(std::unique_ptr<ChatEvent> entry) {
    if (!entry || !switches_.speakWelcome || silenced(entry->name)) {
        return;
    }
    std::string text = entryText(InteractionKind::Follow, true, entry->name);
    speech_.pushItem(
        SpeechItem{std::move(text), SpeechKind::Welcome, std::move(entry->name), std::move(entry->room)});
}

void AnnouncementRules::onInteractionEvent(std::unique_ptr<InteractionEvent> interaction) {
    if (!interaction || silenced(interaction->name)) {
        return;
    }
    const bool wanted = interaction->kind == InteractionKind::Follow  ? switches_.speakFollows
                        : interaction->kind == InteractionKind::Share ? switches_.speakShares
                                                                      : switches_.speakLikes;
    if (wanted) {
        std::string text = entryText(interaction->kind, false, interaction->name);
        speech_.pushItem(SpeechItem{std::move(text), SpeechKind::Welcome, std::move(interaction->name),
                                    std::move(interaction->room)});
    }
}
