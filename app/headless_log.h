// The headless log on standard output: "status <prefix>:<text>" and
// "speak <text>", UTF-8, one line per event. Tests and scripts read these
// lines; their shape does not change.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace app {

// The line for `kind` and a GBK text, without its line break. Control
// characters (C0, DEL, C1) never reach the reader's terminal: line breaks and
// tabs become spaces, the others U+FFFD, so one event stays one harmless line.
//
// Threads: any.
std::string headlessLine(std::string_view kind, std::string_view gbkText);

// Writes lines to a file descriptor on a thread of its own, so that a reader
// who stops reading never holds up the thread that logs. At most `capacity`
// lines wait; a line that finds the queue full is dropped and counted, and
// the count goes to `diagnostics` once output moves again and at close.
//
// Threads: write from any thread; construct and destroy on one.
class LogWriter {
  public:
    LogWriter(int fd, std::size_t capacity = 4096, std::FILE* diagnostics = stderr);
    ~LogWriter();

    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues `kind` and the GBK text as one line; never blocks on the output.
    void write(std::string_view kind, std::string_view gbkText);

    // Gives the waiting lines up to `grace` to reach the output, then stops
    // the writer; lines still waiting count as dropped. Idempotent.
    void close(std::chrono::milliseconds grace);

    std::uint64_t dropped() const;

  private:
    void run();
    bool writeAll(const std::string& line);
    void reportDrops();

    const int fd_;
    const std::size_t capacity_;
    std::FILE* diagnostics_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    bool writing_ = false;  // the writer holds a line taken from lines_
    bool stop_ = false;
    std::uint64_t dropped_ = 0;
    std::uint64_t reported_ = 0;
    std::thread thread_;
};

}  // namespace app
