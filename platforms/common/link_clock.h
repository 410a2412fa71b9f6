// The time the living clients' timers run on: the steady clock on the event
// loop in the program, a hand-driven clock in tests, so that ten minutes of
// back-off can be checked in a moment and to the second.
//
// Threads: every method on the thread that runs the event loop; `due`
// callbacks run there too. Destroy after every wait was cancelled or ran.
#pragma once

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace platforms {

class LinkClock {
  public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;
    using Wait = std::uint64_t;  // 0 is never a wait

    virtual ~LinkClock() = default;
    virtual TimePoint now() const = 0;
    // Runs `due` once `delay` has passed, unless cancelled first.
    virtual Wait after(Duration delay, std::function<void()> due) = 0;
    // A wait that ran or was cancelled is ignored.
    virtual void cancel(Wait wait) = 0;
};

// Asio's steady timers on `eventLoop`.
class SteadyLinkClock : public LinkClock {
  public:
    explicit SteadyLinkClock(boost::asio::io_context& eventLoop) : eventLoop_(eventLoop) {}
    ~SteadyLinkClock() override;

    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    Wait after(Duration delay, std::function<void()> due) override;
    void cancel(Wait wait) override;

  private:
    struct Timer;
    boost::asio::io_context& eventLoop_;
    std::map<Wait, std::shared_ptr<Timer>> waits_;
    Wait last_ = 0;
};

// One pending wait at a time on a clock: arming again replaces it.
class LinkTimer {
  public:
    explicit LinkTimer(LinkClock& clock) : clock_(clock) {}
    ~LinkTimer() { cancel(); }
    LinkTimer(const LinkTimer&) = delete;
    LinkTimer& operator=(const LinkTimer&) = delete;

    void arm(LinkClock::Duration delay, std::function<void()> due);
    void cancel();
    bool armed() const { return wait_ != 0; }

  private:
    LinkClock& clock_;
    LinkClock::Wait wait_ = 0;
};

}  // namespace platforms
