// The queue of announcements waiting for synthesis. Chat waits at the back
// while fewer than the limit wait; welcomes and thank-yous go to the front,
// and each of those two kinds is bounded by the same limit on its own: one
// that finds its kind full replaces the oldest waiting one of that kind, so a
// flood of room entries or gifts keeps memory flat and the newest are read.
//
// A paid chat line goes behind the welcomes and thank-yous but ahead of every
// ordinary chat line, behind the paid lines already waiting: whoever paid
// first is read first. At most `limit` paid lines wait; one more is dropped.
// When the queue is at its limit, a paid line takes the place of the newest
// ordinary chat line, so paying is never turned away by free chat.
//
// Threads: every operation from any thread; each takes the queue's lock only
// for its own short critical section.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/speech_service.h"

namespace speech {

class SpeechQueue {
  public:
    explicit SpeechQueue(std::int32_t limit = 100) : limit_(limit) {}

    void setLimit(std::int32_t limit) { limit_ = limit; }
    std::int32_t limit() const { return limit_; }

    // Gives the item its id and time, then places it by its kind. False when
    // it was dropped (chat or paid chat over the limit).
    bool push(SpeechItem item, std::int64_t queuedAt = 0);
    // A chat line (back) or a welcome (front).
    bool push(std::string text, bool atFront);

    // Takes the front item; false when there is none.
    bool pop(Announcement& out);
    bool pop(std::string& out);

    // Drops every waiting item; returns how many there were.
    std::size_t clear();
    // Drops the waiting items `drop` picks; returns how many.
    std::size_t removeIf(const std::function<bool(const Announcement&)>& drop);

    std::size_t size() const;
    std::size_t count(SpeechKind kind) const;
    std::vector<std::string> snapshot() const;  // texts, front first
    std::vector<Announcement> items() const;    // front first

  private:
    std::size_t frontCap() const;
    bool pushPaid(SpeechItem item, std::int64_t queuedAt);

    std::atomic<std::int32_t> limit_;
    mutable std::mutex lock_;
    std::deque<Announcement> items_;
    std::array<std::size_t, 4> counts_{};  // by SpeechKind
    std::uint64_t nextId_ = 1;
};

}  // namespace speech
