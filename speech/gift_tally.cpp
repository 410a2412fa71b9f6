#include "speech/gift_tally.h"

#include <algorithm>
#include <limits>

#include "core/announcement_texts.h"
#include "speech/gbk_text.h"
#include "util/gbk.h"
#include "util/text.h"

namespace speech {

namespace {

// Bounds a summed value far below overflow whatever a server claims.
constexpr std::int64_t kMaxGiftValue = std::int64_t{1} << 40;

// A hostile count must not overflow the running sum.
std::int32_t saturatingAdd(std::int32_t a, std::int32_t b) {
    std::int64_t sum = static_cast<std::int64_t>(a) + b;
    if (sum > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (sum < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(sum);
}

// The host's template, or the built-in wording spoken with a nickname.
std::string wordedThanks(const std::string& spokenAs, std::string_view wording, std::int32_t count,
                         std::string_view gift, std::int64_t value, std::size_t maxBytes) {
    static const std::string builtIn = util::utf8ToLocal("感谢{name}赠送的{count}个{gift}");
    const std::string countText = std::to_string(count);
    const std::string valueText = value >= 0 ? std::to_string(value) : std::string();
    std::string text = expandTemplate(wording.empty() ? std::string_view(builtIn) : wording,
                                      {util::gbkPrefixChars(spokenAs, kMaxSpokenNameChars),
                                       {},
                                       countText,
                                       util::gbkPrefixChars(gift, kMaxSpokenNameChars),
                                       valueText});
    return text.size() <= maxBytes ? text : truncateGbk(text, maxBytes);
}

}  // namespace

void GiftTally::takeWording(Entry& entry, const GiftEvent& gift) {
    entry.spokenAs = gift.spokenAs;
    entry.wording = gift.wording;
    entry.value = gift.value;
}

void GiftTally::thank(const Sender& sender, const Entry& entry, std::size_t maxBytes, SpeechQueue& queue) {
    const std::string& name = sender.first;
    std::string text = entry.spokenAs.empty() && entry.wording.empty()
                           ? thankYouText(name, entry.count, entry.gift, maxBytes)
                           : wordedThanks(entry.spokenAs.empty() ? name : entry.spokenAs, entry.wording,
                                          entry.count, entry.gift, entry.value, maxBytes);
    queue.push(SpeechItem{std::move(text), SpeechKind::Gift, name, sender.second});
}

void GiftTally::add(const GiftEvent& gift, std::int64_t now, SpeechQueue& queue) {
    std::lock_guard guard(lock_);
    Sender sender{gift.name, gift.room};
    auto it = entries_.find(sender);
    if (it == entries_.end()) {
        if (entries_.size() >= kMaxSenders) {
            auto oldest = entries_.find(*byAge_.front());
            thank(oldest->first, oldest->second, kFlushedTextBytes, queue);
            byAge_.pop_front();
            entries_.erase(oldest);
        }
        it = entries_.emplace(std::move(sender), Entry{gift.text, gift.count, now, {}, {}, {}, -1}).first;
        it->second.age = byAge_.insert(byAge_.end(), &it->first);
        takeWording(it->second, gift);
        return;
    }
    Entry& entry = it->second;
    byAge_.splice(byAge_.end(), byAge_, entry.age);
    if (entry.gift == gift.text) {
        entry.count = saturatingAdd(entry.count, gift.count);
        entry.time = now;
        entry.value =
            entry.value < 0 || gift.value < 0 ? -1 : entry.value + std::min(gift.value, kMaxGiftValue);
        return;
    }
    thank(it->first, entry, kImmediateTextBytes, queue);
    entry.gift = gift.text;
    entry.count = gift.count;
    entry.time = now;
    takeWording(entry, gift);
}

void GiftTally::flush(std::int64_t now, SpeechQueue& queue) {
    std::lock_guard guard(lock_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.time >= kQuietSeconds) {
            thank(it->first, it->second, kFlushedTextBytes, queue);
            byAge_.erase(it->second.age);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

void GiftTally::drop(const std::string& name) {
    std::lock_guard guard(lock_);
    for (auto it = entries_.lower_bound(Sender{name, {}}); it != entries_.end() && it->first.first == name;) {
        byAge_.erase(it->second.age);
        it = entries_.erase(it);
    }
}

void GiftTally::clear() {
    std::lock_guard guard(lock_);
    byAge_.clear();
    entries_.clear();
}

std::size_t GiftTally::size() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

}  // namespace speech
