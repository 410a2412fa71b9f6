#include "platforms/common/backoff.h"

#include <algorithm>
#include <random>

namespace platforms {

namespace {

double systemRandom() {
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

}  // namespace

Backoff::Backoff(Schedule schedule, std::function<double()> random)
    : schedule_(schedule), random_(random ? std::move(random) : std::function<double()>(systemRandom)) {}

Backoff::Duration Backoff::next() {
    Duration base = schedule_.first;
    for (unsigned i = 0; i < failures_ && base < schedule_.ceiling; ++i) {
        base *= 2;
    }
    base = std::min(base, schedule_.ceiling);
    ++failures_;
    double share = std::clamp(random_(), 0.0, 1.0) * schedule_.jitter;
    return base - std::chrono::duration_cast<Duration>(base * share);
}

}  // namespace platforms
