// A clock for the living clients' timers that moves only when the test says
// so, so that minutes of heartbeats, silences and back-off pass in a moment
// and to the second. Waits run on the loop thread, in due order.
//
// Threads: every method on the thread of the loop the timers belong to.
#pragma once

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <future>
#include <map>

#include "feeder_run.h"
#include "platforms/common/link_clock.h"

namespace testing_support {

class ManualClock : public platforms::LinkClock {
  public:
    TimePoint now() const override { return now_; }
    Wait after(Duration delay, std::function<void()> due) override {
        waits_.emplace(++last_, Pending{now_ + delay, std::move(due)});
        return last_;
    }
    void cancel(Wait wait) override { waits_.erase(wait); }

    // Moves time on by `span`, running every wait that falls due on the way.
    void advance(Duration span) {
        const TimePoint end = now_ + span;
        for (auto next = earliest(); next != waits_.end() && next->second.at <= end; next = earliest()) {
            now_ = next->second.at;
            auto due = std::move(next->second.due);
            waits_.erase(next);
            due();
        }
        now_ = end;
    }
    // Jumps to the next wait and runs it; false when none is pending.
    bool runNext() {
        auto next = earliest();
        if (next == waits_.end()) {
            return false;
        }
        advance(next->second.at - now_);
        return true;
    }

  private:
    struct Pending {
        TimePoint at;
        std::function<void()> due;
    };
    std::map<Wait, Pending>::iterator earliest() {
        return std::min_element(waits_.begin(), waits_.end(),
                                [](const auto& a, const auto& b) { return a.second.at < b.second.at; });
    }
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
    std::map<Wait, Pending> waits_;
    Wait last_ = 0;
};

// Moves `clock` on by `span` on `run`'s loop, taking the client's deliveries
// (which block the loop) while it waits: every status the timers caused has
// been delivered when this returns.
inline void advanceOnLoop(FeederRun& run, ManualClock& clock, platforms::LinkClock::Duration span) {
    std::promise<void> done;
    auto ready = done.get_future();
    boost::asio::post(run.loop(), [&] {
        clock.advance(span);
        done.set_value();
    });
    run.waitFor([&] { return ready.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    ready.get();
}

}  // namespace testing_support
