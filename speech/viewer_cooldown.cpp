#include "speech/viewer_cooldown.h"

namespace speech {

bool ViewerCooldown::admit(const std::string& viewer, std::int64_t now) {
    const std::int64_t seconds = seconds_;
    std::lock_guard guard(lock_);
    if (seconds <= 0 || viewer.empty()) {
        lastRead_.clear();  // a cooldown turned on later starts afresh
        return true;
    }
    auto it = lastRead_.find(viewer);
    if (it != lastRead_.end() && now >= it->second && now - it->second < seconds) {
        return false;
    }
    if (it == lastRead_.end() && lastRead_.size() >= kMaxViewers) {
        std::erase_if(lastRead_, [&](const auto& entry) { return now - entry.second >= seconds; });
        if (lastRead_.size() >= kMaxViewers) {
            lastRead_.clear();
        }
    }
    lastRead_[viewer] = now;
    return true;
}

std::size_t ViewerCooldown::size() const {
    std::lock_guard guard(lock_);
    return lastRead_.size();
}

}  // namespace speech
