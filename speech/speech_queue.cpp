#include "speech/speech_queue.h"

#include <algorithm>

namespace speech {

namespace {

std::size_t slot(SpeechKind kind) {
    return static_cast<std::size_t>(kind);
}

}  // namespace

std::size_t SpeechQueue::frontCap() const {
    // Even a limit of 0 (no chat cached) lets the latest welcome through.
    return static_cast<std::size_t>(std::max<std::int32_t>(limit_.load(), 1));
}

bool SpeechQueue::push(SpeechItem item, std::int64_t queuedAt) {
    std::lock_guard guard(lock_);
    const SpeechKind kind = item.kind;
    if (kind == SpeechKind::PaidChat) {
        return pushPaid(std::move(item), queuedAt);
    }
    if (kind == SpeechKind::Chat) {
        if (static_cast<std::int64_t>(items_.size()) >= limit_.load()) {
            return false;
        }
        items_.push_back(Announcement{nextId_++, std::move(item), 0, queuedAt});
        ++counts_[slot(kind)];
        return true;
    }
    if (counts_[slot(kind)] >= frontCap()) {
        // Front pushes put the newest first, so the oldest of a kind is the
        // one nearest the back.
        auto oldest = std::find_if(items_.rbegin(), items_.rend(),
                                   [kind](const Announcement& a) { return a.item.kind == kind; });
        if (oldest != items_.rend()) {
            items_.erase(std::next(oldest).base());
            --counts_[slot(kind)];
        }
    }
    items_.push_front(Announcement{nextId_++, std::move(item), 0, queuedAt});
    ++counts_[slot(kind)];
    return true;
}

// Called with the lock held. The queue always reads front kinds, then paid
// lines, then ordinary chat, so the first ordinary line marks the place.
bool SpeechQueue::pushPaid(SpeechItem item, std::int64_t queuedAt) {
    const std::int64_t limit = limit_.load();
    if (static_cast<std::int64_t>(counts_[slot(SpeechKind::PaidChat)]) >= limit) {
        return false;
    }
    if (static_cast<std::int64_t>(items_.size()) >= limit && !items_.empty() &&
        items_.back().item.kind == SpeechKind::Chat) {
        items_.pop_back();
        --counts_[slot(SpeechKind::Chat)];
    }
    auto place = std::find_if(items_.begin(), items_.end(),
                              [](const Announcement& a) { return a.item.kind == SpeechKind::Chat; });
    items_.insert(place, Announcement{nextId_++, std::move(item), 0, queuedAt});
    ++counts_[slot(SpeechKind::PaidChat)];
    return true;
}

bool SpeechQueue::push(std::string text, bool atFront) {
    return push(SpeechItem{std::move(text), atFront ? SpeechKind::Welcome : SpeechKind::Chat, {}});
}

bool SpeechQueue::pop(Announcement& out) {
    std::lock_guard guard(lock_);
    if (items_.empty()) {
        return false;
    }
    out = std::move(items_.front());
    items_.pop_front();
    --counts_[slot(out.item.kind)];
    return true;
}

bool SpeechQueue::pop(std::string& out) {
    Announcement taken;
    if (!pop(taken)) {
        return false;
    }
    out = std::move(taken.item.text);
    return true;
}

std::size_t SpeechQueue::clear() {
    std::lock_guard guard(lock_);
    std::size_t dropped = items_.size();
    items_.clear();
    counts_ = {};
    return dropped;
}

std::size_t SpeechQueue::removeIf(const std::function<bool(const Announcement&)>& drop) {
    std::lock_guard guard(lock_);
    std::size_t dropped = 0;
    for (auto it = items_.begin(); it != items_.end();) {
        if (drop(*it)) {
            --counts_[slot(it->item.kind)];
            it = items_.erase(it);
            ++dropped;
        } else {
            ++it;
        }
    }
    return dropped;
}

std::size_t SpeechQueue::size() const {
    std::lock_guard guard(lock_);
    return items_.size();
}

std::size_t SpeechQueue::count(SpeechKind kind) const {
    std::lock_guard guard(lock_);
    return counts_[slot(kind)];
}

std::vector<std::string> SpeechQueue::snapshot() const {
    std::lock_guard guard(lock_);
    std::vector<std::string> texts;
    texts.reserve(items_.size());
    for (const auto& a : items_) {
        texts.push_back(a.item.text);
    }
    return texts;
}

std::vector<Announcement> SpeechQueue::items() const {
    std::lock_guard guard(lock_);
    return {items_.begin(), items_.end()};
}

}  // namespace speech
