#include "platforms/common/link_clock.h"

#include <boost/asio/steady_timer.hpp>

namespace platforms {

struct SteadyLinkClock::Timer {
    explicit Timer(boost::asio::io_context& loop) : timer(loop) {}
    boost::asio::steady_timer timer;
    bool cancelled = false;
};

SteadyLinkClock::~SteadyLinkClock() {
    for (auto& [wait, timer] : waits_) {
        timer->cancelled = true;
        timer->timer.cancel();
    }
}

LinkClock::Wait SteadyLinkClock::after(Duration delay, std::function<void()> due) {
    Wait wait = ++last_;
    auto timer = std::make_shared<Timer>(eventLoop_);
    waits_[wait] = timer;
    timer->timer.expires_after(delay);
    // The flag, not the error code: a wait that completed just before its
    // cancel is already queued with success.
    timer->timer.async_wait([this, wait, timer, due = std::move(due)](const boost::system::error_code&) {
        if (timer->cancelled) {
            return;
        }
        waits_.erase(wait);
        due();
    });
    return wait;
}

void SteadyLinkClock::cancel(Wait wait) {
    auto found = waits_.find(wait);
    if (found == waits_.end()) {
        return;
    }
    found->second->cancelled = true;
    found->second->timer.cancel();
    waits_.erase(found);
}

void LinkTimer::arm(LinkClock::Duration delay, std::function<void()> due) {
    cancel();
    wait_ = clock_.after(delay, [this, due = std::move(due)] {
        wait_ = 0;
        due();
    });
}

void LinkTimer::cancel() {
    if (wait_ != 0) {
        clock_.cancel(wait_);
        wait_ = 0;
    }
}

}  // namespace platforms
