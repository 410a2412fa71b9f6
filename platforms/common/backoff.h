// How long a living client waits before its next try: the first delay after
// the first failure, doubling while the tries keep failing, up to a ceiling,
// each delay shortened by a random share so that many hosts thrown off at
// once do not come back in step (and none waits past the ceiling).
//
// Plain data and arithmetic; one thread per object.
#pragma once

#include <chrono>
#include <functional>

namespace platforms {

class Backoff {
  public:
    using Duration = std::chrono::steady_clock::duration;

    struct Schedule {
        Duration first;
        Duration ceiling;
        double jitter = 0.2;  // a delay shrinks by up to this share of itself
    };

    // `random` gives a number in [0, 1); a fixed one makes the delays exact.
    explicit Backoff(Schedule schedule, std::function<double()> random = {});

    // The delay before the next try, counting this failure.
    Duration next();
    // A join held: the next failure waits the first delay again.
    void reset() { failures_ = 0; }
    unsigned failures() const { return failures_; }

  private:
    Schedule schedule_;
    std::function<double()> random_;
    unsigned failures_ = 0;
};

}  // namespace platforms
