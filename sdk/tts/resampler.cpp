#include "sdk/tts/resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tts {

Resampler::Resampler(int inputRate, int outputRate) : passThrough_(inputRate == outputRate) {
    if (passThrough_) {
        return;
    }
    auto divisor = std::gcd(inputRate, outputRate);
    up_ = static_cast<std::uint64_t>(outputRate / divisor);
    down_ = static_cast<std::uint64_t>(inputRate / divisor);
    // Cut-off in cycles per input sample, a little below the lower Nyquist rate.
    const double cutoff = 0.45 * std::min(inputRate, outputRate) / inputRate;
    const double pi = std::acos(-1.0);
    taps_.resize(up_ * 2 * kHalfTaps);
    for (std::uint64_t phase = 0; phase < up_; ++phase) {
        double fraction = static_cast<double>(phase) / static_cast<double>(up_);
        double sum = 0;
        float* row = &taps_[phase * 2 * kHalfTaps];
        for (int k = 0; k < 2 * kHalfTaps; ++k) {
            double t = (k - kHalfTaps + 1) - fraction;  // distance from the output instant
            double x = 2 * cutoff * t;
            double sinc = x == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
            double window = 0.5 + 0.5 * std::cos(pi * t / kHalfTaps);  // Hann
            row[k] = static_cast<float>(2 * cutoff * sinc * window);
            sum += row[k];
        }
        for (int k = 0; k < 2 * kHalfTaps; ++k) {
            row[k] = static_cast<float>(row[k] / sum);  // unity gain at DC for every phase
        }
    }
}

void Resampler::push(const std::int16_t* input, std::size_t count, std::vector<std::int16_t>& output) {
    if (passThrough_) {
        output.insert(output.end(), input, input + count);
        return;
    }
    history_.insert(history_.end(), input, input + count);
    received_ += count;
    produce(output, false);
}

void Resampler::finish(std::vector<std::int16_t>& output) {
    if (!passThrough_) {
        produce(output, true);
    }
}

void Resampler::produce(std::vector<std::int16_t>& output, bool flushing) {
    // Output n sits at input position n * down / up; it needs input samples up
    // to floor(position) + kHalfTaps. When flushing, missing samples are zero,
    // and output stops where the input's duration ends.
    const std::uint64_t total = flushing ? (received_ * up_ + down_ - 1) / down_ : ~std::uint64_t{0};
    while (produced_ < total) {
        std::uint64_t scaled = produced_ * down_;
        std::uint64_t center = scaled / up_;
        std::uint64_t phase = scaled % up_;
        if (!flushing && center + kHalfTaps >= received_) {
            break;
        }
        const float* row = &taps_[phase * 2 * kHalfTaps];
        double acc = 0;
        for (int k = 0; k < 2 * kHalfTaps; ++k) {
            std::int64_t index = static_cast<std::int64_t>(center) + k - kHalfTaps + 1;
            if (index < static_cast<std::int64_t>(base_) || index >= static_cast<std::int64_t>(received_)) {
                continue;
            }
            acc += row[k] * history_[static_cast<std::size_t>(index - static_cast<std::int64_t>(base_))];
        }
        acc = std::clamp(std::round(acc), -32768.0, 32767.0);
        output.push_back(static_cast<std::int16_t>(acc));
        ++produced_;
    }
    // Drop input no future output can reach.
    std::uint64_t oldestNeeded = (produced_ * down_) / up_;
    oldestNeeded = oldestNeeded >= kHalfTaps ? oldestNeeded - kHalfTaps : 0;
    if (oldestNeeded > base_ + 4096) {
        history_.erase(history_.begin(),
                       history_.begin() + static_cast<std::ptrdiff_t>(oldestNeeded - base_));
        base_ = oldestNeeded;
    }
}

}  // namespace tts
