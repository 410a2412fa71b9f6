// The network side of a session: the event loop of the room being read, the
// thread that runs it, and the feeder created at login. A host may read one
// room after another: `stop` ends a room and the next `login` starts afresh.
//
// Threads: construct, `login`, `stop`, `shutdown` and destroy on the owner
// (user-interface) thread. `eventLoop` may be used from any thread (Asio's
// io_context is thread-safe for post and timers).
#pragma once

#include <atomic>
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

    // A loop that lives as long as the host, for a speech engine that wants
    // one; the rooms run loops of their own (see `stop`).
    boost::asio::io_context& eventLoop() { return engineLoop_; }

    // Creates the feeder of `platformIndex` on a fresh event loop, posts its
    // `start` with `roomId` and starts the network thread. Returns false,
    // changing nothing, when no feeder exists for the index, a room is being
    // read or the host was shut down.
    bool login(int platformIndex, std::string roomId, MessageWindow& window,
               const FeederFactories& factories);

    // Ends the room being read: raises the closing flag (so a page fetch or
    // pause under way ends at once), closes `window` (so a feeder blocked in a
    // send returns at once), stops the loop, waits for the network thread,
    // destroys the feeder and then its loop. The loop goes with the room
    // because the feeder's handlers still queued in it point into the feeder:
    // destroying the loop drops them unrun. Never hangs on a delivery or on the
    // network. The caller reopens `window` for the next room.
    void stop(MessageWindow& window);

    // The first half of `stop`, which does not wait: with several rooms
    // every one is told before any is waited for, so closing them all takes
    // as long as closing the slowest.
    void beginStop(MessageWindow& window);

    // `stop`, and later logins fail. Idempotent.
    void shutdown(MessageWindow& window);

    bool serving() const { return networkThread_.joinable(); }
    msgfeeder* feeder() const { return feeder_.get(); }

  private:
    std::atomic<bool> closing_{false};
    bool shutDown_ = false;
    boost::asio::io_context engineLoop_;
    std::unique_ptr<boost::asio::io_context> roomLoop_;
    std::thread networkThread_;
    std::unique_ptr<msgfeeder> feeder_;
};
