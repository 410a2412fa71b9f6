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

void GiftTally::add(const GiftEvent& gift, std::int64_t now, SpeechQueue& queue) {
    std::lock_guard guard(lock_);
    auto it = entries_.find(gift.name);
    if (it == entries_.end()) {
        entries_.emplace(gift.name, Entry{gift.text, gift.count, now});
        return;
    }
    Entry& entry = it->second;
    if (entry.gift == gift.text) {
        entry.count = saturatingAdd(entry.count, gift.count);
        entry.time = now;
        return;
    }
    queue.push(thankYouText(it->first, entry.count, entry.gift, kImmediateTextBytes), true);
    entry = Entry{gift.text, gift.count, now};
}

void GiftTally::flush(std::int64_t now, SpeechQueue& queue) {
    std::lock_guard guard(lock_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.time >= kQuietSeconds) {
            queue.push(thankYouText(it->first, it->second.count, it->second.gift, kFlushedTextBytes), true);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t GiftTally::size() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

}  // namespace speech
