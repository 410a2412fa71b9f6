#include "speech/wav_names.h"

#include <cstdio>

namespace speech {

std::string wavFilePath(const std::string& directory, const std::tm& localTime, std::uint64_t threadId,
                        const std::function<bool(const std::string&)>& taken) {
    char stem[64];
    std::snprintf(stem, sizeof stem, "%04d%02d%02d%02d%02d%02d-%llu", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec, static_cast<unsigned long long>(threadId));
    std::string path = directory + stem + ".wav";
    for (int counter = 2; taken(path); ++counter) {
        path = directory + stem + "-" + std::to_string(counter) + ".wav";
    }
    return path;
}

}  // namespace speech
