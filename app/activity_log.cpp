#include "app/activity_log.h"

#include <ctime>
#include <string>
#include <system_error>

#include "app/data_folders.h"
#include "app/headless_log.h"

namespace app {

std::filesystem::path activityLogPath(const char* home, const char* stateHome) {
    const std::filesystem::path base = userBase(stateHome ? stateHome : "", home ? home : "", ".local/state");
    return base.empty() ? base : base / "sonaro" / "sonaro.log";
}

ActivityLog::ActivityLog(std::filesystem::path path, std::uintmax_t cap) : path_(std::move(path)), cap_(cap) {
    if (path_.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(path_.parent_path(), error);
    file_ = std::fopen(path_.c_str(), "ae");
    if (file_) {
        const auto size = std::filesystem::file_size(path_, error);
        size_ = error ? 0 : size;
    }
}

ActivityLog::~ActivityLog() {
    if (file_) {
        std::fclose(file_);
    }
}

bool ActivityLog::isOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

void ActivityLog::write(std::string_view kind, std::string_view gbkText) {
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) {
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    }
    const std::string line = stamp + headlessLine(kind, gbkText) + "\n";
    // A local file's append: short enough to hold the lock across, and it
    // keeps the lines of two threads whole and in order.
    std::lock_guard lock(mutex_);
    if (!file_) {
        return;
    }
    if (size_ > 0 && size_ + line.size() > cap_) {
        rotate();
        if (!file_) {
            return;
        }
    }
    if (std::fwrite(line.data(), 1, line.size(), file_) == line.size()) {
        size_ += line.size();
    }
    // A crash must not take the last lines with it.
    std::fflush(file_);
}

void ActivityLog::rotate() {
    std::fclose(file_);
    std::error_code error;
    std::filesystem::path older = path_;
    older += ".1";
    std::filesystem::rename(path_, older, error);
    file_ = std::fopen(path_.c_str(), error ? "we" : "ae");
    size_ = 0;
}

}  // namespace app
