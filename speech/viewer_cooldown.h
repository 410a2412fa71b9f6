// Keeps a chatty viewer from filling the reader: a viewer's chat line that
// comes within the cooldown of their last line let through is dropped.
//
// Threads: any; each operation takes the cooldown's lock briefly.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace speech {

class ViewerCooldown {
  public:
    // Viewers remembered at most; a room with more talkers inside one
    // cooldown forgets them all rather than grow without end.
    static constexpr std::size_t kMaxViewers = 100'000;

    // Seconds; 0 or less lets every line through.
    void setSeconds(std::int64_t seconds) { seconds_ = seconds; }

    // True when `viewer` (GBK) may be read at `now` (seconds since 1970);
    // the line is then the one the next cooldown counts from. A clock that
    // went back lets the line through instead of silencing the viewer.
    bool admit(const std::string& viewer, std::int64_t now);

    std::size_t size() const;

  private:
    std::atomic<std::int64_t> seconds_{0};
    mutable std::mutex lock_;
    std::unordered_map<std::string, std::int64_t> lastRead_;
};

}  // namespace speech
