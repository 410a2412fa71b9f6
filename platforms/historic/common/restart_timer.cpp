#include "platforms/historic/common/restart_timer.h"

namespace platforms {

RestartTimer::RestartTimer(boost::asio::io_context& eventLoop, Duration delay, std::function<void()> announce)
    : timer_(eventLoop), delay_(delay), announce_(std::move(announce)) {}

bool RestartTimer::schedule(std::function<void()> restart) {
    if (pending_) {
        return false;
    }
    if (announce_) {
        announce_();
    }
    pending_ = true;
    timer_.cancel();
    timer_.expires_after(delay_);
    timer_.async_wait([restart = std::move(restart)](const boost::system::error_code& error) {
        if (!error) {
            restart();
        }
    });
    return true;
}

void KeepAliveTimer::start(Duration first, Duration interval, std::function<bool()> tick) {
    interval_ = interval;
    tick_ = std::move(tick);
    arm(first);
}

void KeepAliveTimer::cancel() {
    timer_.cancel();
    ++arms_;
}

void KeepAliveTimer::arm(Duration delay) {
    timer_.cancel();
    unsigned armed = ++arms_;
    timer_.expires_after(delay);
    timer_.async_wait([this, armed](const boost::system::error_code& error) {
        if (error || armed != arms_) {
            return;
        }
        if (tick_()) {
            arm(interval_);
        }
    });
}

}  // namespace platforms
