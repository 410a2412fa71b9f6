// Follows the file SDL's disk audio driver writes (16-bit stereo) as it
// grows and notes when sound starts after a stretch of silence: the moment
// an announcement's first sample reached the audio driver, as seen from
// here. The driver's file stream flushes in blocks of a few kilobytes, so a
// start is seen up to one block (about 23 ms at 44.1 kHz) late, never early.
//
// Threads: construct and destroy on one thread; firstOnsetAfter from any.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace harness {

class AudioOnsets {
  public:
    using Clock = std::chrono::steady_clock;

    AudioOnsets(std::string path, int sampleRate);
    ~AudioOnsets();

    AudioOnsets(const AudioOnsets&) = delete;
    AudioOnsets& operator=(const AudioOnsets&) = delete;

    // The first start of sound seen at or after `after`; waits for one until
    // `timeout` has passed.
    std::optional<Clock::time_point> firstOnsetAfter(Clock::time_point after, Clock::duration timeout);

  private:
    void follow();

    const std::string path_;
    const long quietFrames_;  // silence that separates two announcements
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable seen_;
    std::vector<Clock::time_point> onsets_;
    std::thread follower_;
};

}  // namespace harness
