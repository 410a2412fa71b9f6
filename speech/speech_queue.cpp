#include "speech/speech_queue.h"

namespace speech {

void SpeechQueue::push(std::string text, bool atFront) {
    std::lock_guard guard(lock_);
    if (atFront) {
        texts_.push_front(std::move(text));
    } else if (static_cast<std::int64_t>(texts_.size()) < limit_.load()) {
        texts_.push_back(std::move(text));
    }
}

bool SpeechQueue::pop(std::string& out) {
    std::lock_guard guard(lock_);
    if (texts_.empty()) {
        return false;
    }
    out = std::move(texts_.front());
    texts_.pop_front();
    return true;
}

std::size_t SpeechQueue::size() const {
    std::lock_guard guard(lock_);
    return texts_.size();
}

std::vector<std::string> SpeechQueue::snapshot() const {
    std::lock_guard guard(lock_);
    return {texts_.begin(), texts_.end()};
}

}  // namespace speech
