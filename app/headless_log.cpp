#include "app/headless_log.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "util/text.h"

namespace app {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// How often a writer stuck on a full output looks whether it should stop.
constexpr int kPollMs = 20;

// A pipe takes a write of up to this many bytes once poll says it has room,
// so no single write can block.
constexpr std::size_t kChunk = 4096;

}  // namespace

std::string headlessLine(std::string_view kind, std::string_view gbkText) {
    std::string line(kind);
    line += ' ';
    const std::string utf8 = util::localToUtf8(gbkText);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\n' || c == '\r' || c == '\t') {
            line += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            line += kReplacement;
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
            line += kReplacement;  // U+0080..U+009F
            ++i;
        } else {
            line += static_cast<char>(c);
        }
    }
    return line;
}

LogWriter::LogWriter(int fd, std::size_t capacity, std::FILE* diagnostics)
    : fd_(fd), capacity_(capacity), diagnostics_(diagnostics), thread_([this] { run(); }) {}

LogWriter::~LogWriter() {
    close(std::chrono::milliseconds(200));
}

void LogWriter::write(std::string_view kind, std::string_view gbkText) {
    std::string line = headlessLine(kind, gbkText);
    line += '\n';
    std::lock_guard lock(mutex_);
    if (stop_ || lines_.size() >= capacity_) {
        ++dropped_;
        return;
    }
    lines_.push_back(std::move(line));
    changed_.notify_all();
}

void LogWriter::close(std::chrono::milliseconds grace) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, grace, [this] { return lines_.empty() && !writing_; });
        stop_ = true;
        dropped_ += lines_.size();
        lines_.clear();
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    reportDrops();
}

std::uint64_t LogWriter::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void LogWriter::run() {
    for (;;) {
        std::string line;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || !lines_.empty(); });
            if (stop_) {
                return;
            }
            line = std::move(lines_.front());
            lines_.pop_front();
            writing_ = true;
        }
        const bool written = writeAll(line);
        {
            std::lock_guard lock(mutex_);
            writing_ = false;
            if (!written) {
                ++dropped_;
            }
            changed_.notify_all();
        }
        if (written) {
            reportDrops();
        }
    }
}

bool LogWriter::writeAll(const std::string& line) {
    std::size_t done = 0;
    while (done < line.size()) {
        pollfd ready{fd_, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, kPollMs);
        if (polled < 0 && errno != EINTR) {
            return false;
        }
        if (polled <= 0) {
            std::lock_guard lock(mutex_);
            if (stop_) {
                return false;
            }
            continue;
        }
        if (ready.revents & (POLLERR | POLLNVAL)) {
            return false;
        }
        const std::size_t chunk = std::min(kChunk, line.size() - done);
        const ssize_t n = ::write(fd_, line.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;  // the reader is gone: the line is lost, the run goes on
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void LogWriter::reportDrops() {
    std::uint64_t fresh = 0;
    {
        std::lock_guard lock(mutex_);
        fresh = dropped_ - reported_;
        reported_ = dropped_;
    }
    if (fresh > 0 && diagnostics_) {
        std::fprintf(diagnostics_, "sonaro: %llu log lines dropped: standard output was not read\n",
                     static_cast<unsigned long long>(fresh));
        std::fflush(diagnostics_);
    }
}

}  // namespace app
