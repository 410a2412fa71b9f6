#include "core/repeat_folder.h"

bool RepeatFolder::fold(const std::string& text) {
    const auto now = clock_();
    expire(now);
    if (inWindow_.count(text) != 0) {
        return true;
    }
    inWindow_.insert(text);
    order_.emplace_back(now, text);
    return false;
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
