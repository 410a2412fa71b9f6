// The timers every historic client keeps: the restart after a failure (one pending at
// a time, announced before it is armed) and the keep-alive that repeats until
// the connection ends.
//
// Threads: construct, every method and destroy on the thread that runs the
// event loop (construction and destruction also while it does not run).
// Callbacks run on that thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>

namespace platforms {

class RestartTimer {
  public:
    using Duration = std::chrono::steady_clock::duration;

    // `announce` runs when a restart is scheduled, before its delay starts
    // (it may block on the dialog; the delay counts from its return).
    RestartTimer(boost::asio::io_context& eventLoop, Duration delay, std::function<void()> announce);

    // Runs `restart` after the delay, unless a restart is already pending:
    // then nothing happens and false is returned.
    bool schedule(std::function<void()> restart);

    // A new attempt began: the next failure schedules again.
    void clear() { pending_ = false; }
    bool pending() const { return pending_; }
    void cancel() { timer_.cancel(); }

  private:
    boost::asio::steady_timer timer_;
    Duration delay_;
    std::function<void()> announce_;
    bool pending_ = false;
};

class KeepAliveTimer {
  public:
    using Duration = std::chrono::steady_clock::duration;

    explicit KeepAliveTimer(boost::asio::io_context& eventLoop) : timer_(eventLoop) {}

    // Runs `tick` after `first`, then every `interval`, until `cancel`, a new
    // `start`, or a tick that returns false. A wait that had completed when it
    // was cancelled runs nothing.
    void start(Duration first, Duration interval, std::function<bool()> tick);
    void cancel();

  private:
    void arm(Duration delay);

    boost::asio::steady_timer timer_;
    Duration interval_{};
    std::function<bool()> tick_;
    unsigned arms_ = 0;
};

}  // namespace platforms
