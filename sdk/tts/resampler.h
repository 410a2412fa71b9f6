// Streaming sample-rate converter for 16-bit mono audio: polyphase windowed
// sinc, exact for rational ratios, low-passed below the lower Nyquist rate.
// One instance per stream; not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tts {

class Resampler {
  public:
    Resampler(int inputRate, int outputRate);

    // Converts what `input` allows and appends it to `output`.
    void push(const std::int16_t* input, std::size_t count, std::vector<std::int16_t>& output);

    // Appends the rest (the filter's tail) after the last push.
    void finish(std::vector<std::int16_t>& output);

  private:
    void produce(std::vector<std::int16_t>& output, bool flushing);

    static constexpr int kHalfTaps = 16;

    bool passThrough_;
    std::uint64_t up_ = 1;        // output rate / gcd
    std::uint64_t down_ = 1;      // input rate / gcd
    std::vector<float> taps_;     // up_ phases of 2 * kHalfTaps taps each
    std::vector<float> history_;  // input samples from index base_ on
    std::uint64_t base_ = 0;      // absolute index of history_[0]
    std::uint64_t received_ = 0;  // input samples pushed so far
    std::uint64_t produced_ = 0;  // output samples produced so far
};

}  // namespace tts
