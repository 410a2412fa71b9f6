#include "core/repeat_folder.h"

bool RepeatFolder::seen(const std::string& text) {
    expire(clock_());
    return inWindow_.count(text) != 0;
}

void RepeatFolder::remember(const std::string& text) {
    const auto now = clock_();
    expire(now);
    if (inWindow_.insert(text).second) {
        order_.emplace_back(now, text);
    }
}

void RepeatFolder::reset() {
    order_.clear();
    inWindow_.clear();
}

void RepeatFolder::expire(std::chrono::steady_clock::time_point now) {
    while (!order_.empty() && now - order_.front().first >= kWindow) {
        inWindow_.erase(order_.front().second);
        order_.pop_front();
    }
}
