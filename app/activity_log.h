// The log a host reads after a stream: every text that was spoken and every
// status change, one line each ("2026-12-07 21:03:15 speak 甲说:晚上好"),
// UTF-8, in the same shape as the headless log's lines after the time. When
// the file passes its size cap it becomes "<name>.1" (replacing the previous
// one) and a new file begins, so the log never fills the disk.
//
// Threads: write from any thread (the speech worker and the user-interface
// thread both do); construct and destroy on one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace app {

// "$XDG_STATE_HOME/sonaro/sonaro.log", or "$HOME/.local/state/sonaro/sonaro.log"
// when the variable is unset, empty or relative; empty when neither gives an
// absolute path.
std::filesystem::path activityLogPath(const char* home, const char* stateHome);

class ActivityLog {
  public:
    static constexpr std::uintmax_t kDefaultCap = 4 * 1024 * 1024;

    // Opens (creating its folder) `path` for appending. A log that cannot be
    // opened writes nothing; the program runs on without it.
    explicit ActivityLog(std::filesystem::path path, std::uintmax_t cap = kDefaultCap);
    ~ActivityLog();

    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    bool isOpen() const;
    // One line: the local time, `kind` and the GBK text.
    void write(std::string_view kind, std::string_view gbkText);

  private:
    void rotate();

    const std::filesystem::path path_;
    const std::uintmax_t cap_;
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::uintmax_t size_ = 0;
};

}  // namespace app
