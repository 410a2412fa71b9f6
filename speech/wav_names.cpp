#include "speech/wav_names.h"

#include <cstdio>
#include <string>
#include <system_error>

namespace speech {

namespace {

// Consumes one or more digits from the front of `s`; false when none.
bool takeDigits(std::string_view& s, std::size_t exactly = 0) {
    std::size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') {
        ++n;
    }
    if (n == 0 || (exactly != 0 && n != exactly)) {
        return false;
    }
    s.remove_prefix(n);
    return true;
}

bool takeChar(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) {
        return false;
    }
    s.remove_prefix(1);
    return true;
}

}  // namespace

std::filesystem::path wavFilePath(const std::filesystem::path& directory, const std::tm& localTime,
                                  std::uint64_t threadId,
                                  const std::function<bool(const std::filesystem::path&)>& taken) {
    char stem[64];
    std::snprintf(stem, sizeof stem, "%04d%02d%02d%02d%02d%02d-%llu", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec, static_cast<unsigned long long>(threadId));
    std::filesystem::path path = directory / (std::string(stem) + ".wav");
    for (int counter = 2; taken(path); ++counter) {
        path = directory / (std::string(stem) + "-" + std::to_string(counter) + ".wav");
    }
    return path;
}

bool isSpeechFileName(std::string_view name) {
    constexpr std::string_view kExtension = ".wav";
    if (name.size() <= kExtension.size() || name.substr(name.size() - kExtension.size()) != kExtension) {
        return false;
    }
    name.remove_suffix(kExtension.size());
    if (!takeDigits(name, 14) || !takeChar(name, '-') || !takeDigits(name)) {
        return false;
    }
    return name.empty() || (takeChar(name, '-') && takeDigits(name) && name.empty());
}

std::size_t removeStaleSpeechFiles(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    std::size_t removed = 0;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored) && isSpeechFileName(it->path().filename().string()) &&
            std::filesystem::remove(it->path(), ignored)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace speech
