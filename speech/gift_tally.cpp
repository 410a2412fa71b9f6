#include "speech/gift_tally.h"

#include <limits>

#include "speech/gbk_text.h"

namespace speech {

namespace {

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

}  // namespace

void GiftTally::thank(const std::string& name, const Entry& entry, std::size_t maxBytes, SpeechQueue& queue) {
    queue.push(SpeechItem{thankYouText(name, entry.count, entry.gift, maxBytes), SpeechKind::Gift, name});
}

void GiftTally::add(const GiftEvent& gift, std::int64_t now, SpeechQueue& queue) {
    std::lock_guard guard(lock_);
    auto it = entries_.find(gift.name);
    if (it == entries_.end()) {
        if (entries_.size() >= kMaxSenders) {
            auto oldest = entries_.find(*byAge_.front());
            thank(oldest->first, oldest->second, kFlushedTextBytes, queue);
            byAge_.pop_front();
            entries_.erase(oldest);
        }
        it = entries_.emplace(gift.name, Entry{gift.text, gift.count, now, {}}).first;
        it->second.age = byAge_.insert(byAge_.end(), &it->first);
        return;
    }
    Entry& entry = it->second;
    byAge_.splice(byAge_.end(), byAge_, entry.age);
    if (entry.gift == gift.text) {
        entry.count = saturatingAdd(entry.count, gift.count);
        entry.time = now;
        return;
    }
    thank(it->first, entry, kImmediateTextBytes, queue);
    entry.gift = gift.text;
    entry.count = gift.count;
    entry.time = now;
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
    auto it = entries_.find(name);
    if (it != entries_.end()) {
        byAge_.erase(it->second.age);
        entries_.erase(it);
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
