// The queue of announcement texts waiting for synthesis: bounded at the back,
// unbounded at the front.
//
// Threads: every operation from any thread; each takes the queue's lock only
// for its own short critical section.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace speech {

class SpeechQueue {
  public:
    explicit SpeechQueue(std::int32_t limit = 100) : limit_(limit) {}

    void setLimit(std::int32_t limit) { limit_ = limit; }
    std::int32_t limit() const { return limit_; }

    // At the front always; at the back only while fewer than the limit wait
    // (otherwise the text is dropped).
    void push(std::string text, bool atFront);

    // Takes the front text; false when there is none.
    bool pop(std::string& out);

    std::size_t size() const;
    std::vector<std::string> snapshot() const;  // front first

  private:
    std::atomic<std::int32_t> limit_;
    mutable std::mutex lock_;
    std::deque<std::string> texts_;
};

}  // namespace speech
