// The network side of a session: the event loop with its work guard, the
// thread that runs it from the first login on, and the feeder created at login.
//
// Threads: construct, `login`, `shutdown` and destroy on the owner (user-interface)
// thread. `eventLoop` may be used from any thread (Asio's io_context is
// thread-safe for post and timers).
#pragma once

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <memory>
#include <string>
#include <thread>

#include "core/feeder.h"

class NetworkHost {
  public:
    NetworkHost();
    ~NetworkHost();

    NetworkHost(const NetworkHost&) = delete;
    NetworkHost& operator=(const NetworkHost&) = delete;

    boost::asio::io_context& eventLoop() { return eventLoop_; }

    // Creates the feeder of `platformIndex`, posts its `start` with `roomId`
    // and starts the network thread. Returns false, changing nothing, when no
    // feeder exists for the index or a login already happened.
    bool login(int platformIndex, std::string roomId, MessageWindow& window,
               const FeederFactories& factories);

    // Raises the closing flag (so a page fetch or pause under way ends at
    // once), closes `window` (so a feeder blocked in a send returns at once),
    // stops the loop, waits for the network thread, then destroys the feeder.
    // Never hangs on a delivery or on the network. Idempotent.
    void shutdown(MessageWindow& window);

    bool serving() const { return networkThread_.joinable(); }
    msgfeeder* feeder() const { return feeder_.get(); }

  private:
    std::atomic<bool> closing_{false};
    boost::asio::io_context eventLoop_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> workGuard_;
    std::thread networkThread_;
    std::unique_ptr<msgfeeder> feeder_;
};
