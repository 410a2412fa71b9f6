// Pieces every simulated room builds its answers from: JSON text, pauses that
// end when the client hangs up, and playing the script over a connection.
//
// Threads: any; the connection functions on the connection's own thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/room.h"
#include "sim/tcp_server.h"

namespace sim {

// `utf8` as a JSON string literal, quotes included.
std::string jsonQuoted(const std::string& utf8);

// `value` as two bytes, most significant first.
std::string bigEndian16(std::size_t value);
// The two bytes at `bytes`, most significant first.
std::uint16_t readBigEndian16(const char* bytes);

// Sleeps `delay` in short steps, giving up early once the connection is gone
// so that stopping the room never waits out a long script pause. True while
// the connection is still open.
bool pauseWhileOpen(const Connection& connection, std::chrono::milliseconds delay);
bool pauseUntil(const Connection& connection, std::chrono::steady_clock::time_point until);

// Plays the script's events with their pauses, handing each to `send`, and
// starts over while the script loops. False as soon as the connection ends
// or `send` returns false.
bool playScript(const Connection& connection, const RoomScript& script,
                const std::function<bool(const ScriptEvent&)>& send);

// One event of a burst, with its serial number, counted from 1 over every
// pass of a looping script.
struct BurstEvent {
    const ScriptEvent& event;
    int serial;
};

// Plays the script in bursts: an event without a pause before it joins the
// burst of the one before, and each burst goes to `send` at the due time of
// its first event (counted from the previous due time, so a long script keeps
// its rate). Starts over while the script loops. False as soon as the
// connection ends or `send` returns false.
bool playBursts(const Connection& connection, const RoomScript& script,
                const std::function<bool(const std::vector<BurstEvent>&)>& send);

// A switch a test sets from its thread while a connection's thread reads it,
// or a record a connection's thread appends to while a test reads it: each
// side gets a whole copy.
template <typename T>
class Guarded {
  public:
    void set(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }
    template <typename Item>
    void append(Item item) {
        std::lock_guard lock(mutex_);
        value_.push_back(std::move(item));
    }
    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
};

}  // namespace sim
