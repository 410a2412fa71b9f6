#include "audio_onsets.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace harness {

AudioOnsets::AudioOnsets(std::string path, int sampleRate)
    : path_(std::move(path)), quietFrames_(sampleRate / 10), follower_([this] { follow(); }) {}

AudioOnsets::~AudioOnsets() {
    stop_ = true;
    follower_.join();
}

std::optional<AudioOnsets::Clock::time_point> AudioOnsets::firstOnsetAfter(Clock::time_point after,
                                                                           Clock::duration timeout) {
    std::unique_lock lock(mutex_);
    std::optional<Clock::time_point> found;
    seen_.wait_for(lock, timeout, [&] {
        auto it = std::lower_bound(onsets_.begin(), onsets_.end(), after);
        if (it != onsets_.end()) {
            found = *it;
        }
        return found.has_value();
    });
    return found;
}

void AudioOnsets::follow() {
    int fd = -1;
    while (!stop_ && (fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd < 0) {
        return;
    }
    constexpr std::size_t kFrameBytes = 4;  // 16-bit stereo
    std::vector<char> buffer(1 << 16);
    std::size_t carried = 0;  // bytes of an incomplete frame kept from the last read
    long quiet = quietFrames_;
    while (!stop_) {
        ssize_t got = ::read(fd, buffer.data() + carried, buffer.size() - carried);
        if (got <= 0) {
            // Polling: the driver writes every ~12 ms; a millisecond keeps the
            // error well below that.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const auto readAt = Clock::now();
        std::size_t bytes = carried + static_cast<std::size_t>(got);
        bool started = false;
        std::size_t at = 0;
        for (; at + kFrameBytes <= bytes; at += kFrameBytes) {
            std::int16_t left = 0, right = 0;
            std::memcpy(&left, &buffer[at], 2);
            std::memcpy(&right, &buffer[at + 2], 2);
            if (left == 0 && right == 0) {
                ++quiet;
                continue;
            }
            started = started || quiet >= quietFrames_;
            quiet = 0;
        }
        carried = bytes - at;
        std::memmove(buffer.data(), buffer.data() + at, carried);
        if (started) {
            std::lock_guard lock(mutex_);
            onsets_.push_back(readAt);
            seen_.notify_all();
        }
    }
    ::close(fd);
}

}  // namespace harness
