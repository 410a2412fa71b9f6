#include "sdk/audio/mixer.h"

#include <algorithm>

#include "sdk/tts/resampler.h"

namespace audio {

namespace {

std::vector<std::int16_t> resampled(std::vector<std::int16_t> channel, int from, int to) {
    if (from == to) {
        return channel;
    }
    tts::Resampler resampler(from, to);
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(channel.size()) * to / from) + 64);
    resampler.push(channel.data(), channel.size(), out);
    resampler.finish(out);
    return out;
}

}  // namespace

std::vector<std::int16_t> toOutputFormat(const WavAudio& wav, int outputRate) {
    const std::size_t frames = wav.frames();
    if (frames == 0 || wav.rate <= 0 || outputRate <= 0) {
        return {};
    }
    const auto channels = static_cast<std::size_t>(wav.channels);
    std::vector<std::int16_t> left(frames), right;
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = wav.samples[i * channels];
    }
    left = resampled(std::move(left), wav.rate, outputRate);
    if (channels > 1) {
        right.resize(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            right[i] = wav.samples[i * channels + 1];
        }
        right = resampled(std::move(right), wav.rate, outputRate);
    }
    const std::vector<std::int16_t>& second = channels > 1 ? right : left;
    const std::size_t outFrames = std::min(left.size(), second.size());
    std::vector<std::int16_t> out(outFrames * kOutputChannels);
    for (std::size_t i = 0; i < outFrames; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = second[i];
    }
    return out;
}

Mixer::Mixer(int outputRate) : outputRate_(outputRate) {}

StreamHandle Mixer::add(const WavAudio& wav) {
    auto stream = std::make_unique<Stream>();
    stream->sourceRate = wav.rate;
    stream->sourceFrameBytes = static_cast<std::uint32_t>(wav.channels * wav.bytesPerSample);
    stream->sourceBytes = wav.sourceBytes();
    stream->samples = toOutputFormat(wav, outputRate_);
    stream->frames = stream->samples.size() / kOutputChannels;
    std::lock_guard guard(lock_);
    do {
        ++lastStream_;
    } while (lastStream_ == 0 || streams_.count(lastStream_));
    streams_.emplace(lastStream_, std::move(stream));
    return lastStream_;
}

bool Mixer::remove(StreamHandle handle) {
    std::unique_ptr<Stream> removed;
    {
        std::lock_guard guard(lock_);
        auto it = streams_.find(handle);
        if (it == streams_.end()) {
            return false;
        }
        removed = std::move(it->second);
        streams_.erase(it);
    }
    return true;
}

void Mixer::clear() {
    std::map<StreamHandle, std::unique_ptr<Stream>> removed;
    std::lock_guard guard(lock_);
    removed.swap(streams_);
}

bool Mixer::contains(StreamHandle handle) const {
    std::lock_guard guard(lock_);
    return streams_.count(handle) != 0;
}

std::uint64_t Mixer::sourceBytes(StreamHandle handle) const {
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? ~std::uint64_t{0} : it->second->sourceBytes;
}

double Mixer::bytesToSeconds(StreamHandle handle, std::uint64_t bytes) const {
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    if (it == streams_.end() || it->second->sourceFrameBytes == 0 || it->second->sourceRate <= 0) {
        return -1;
    }
    const Stream& stream = *it->second;
    return static_cast<double>(bytes) / (static_cast<double>(stream.sourceFrameBytes) * stream.sourceRate);
}

SyncHandle Mixer::setSync(StreamHandle handle, std::uint32_t type, std::uint64_t parameter,
                          SyncCallback callback, void* user) {
    if (!callback || (type != kSyncPosition && type != kSyncEnd)) {
        return 0;
    }
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return 0;
    }
    Stream& stream = *it->second;
    if (++lastSync_ == 0) {
        ++lastSync_;
    }
    Sync sync{lastSync_, type, 0, callback, user};
    if (type == kSyncPosition && stream.sourceFrameBytes != 0) {
        // Source bytes to output frames: the same instant in both formats.
        std::uint64_t sourceFrame = parameter / stream.sourceFrameBytes;
        sync.frame =
            static_cast<std::uint64_t>(static_cast<double>(sourceFrame) * outputRate_ / stream.sourceRate);
    }
    stream.syncs.push_back(sync);
    return sync.id;
}

bool Mixer::play(StreamHandle handle, bool restart) {
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return false;
    }
    Stream& stream = *it->second;
    if (restart || stream.position >= stream.frames) {
        stream.position = 0;
        for (auto& sync : stream.syncs) {
            sync.fired = false;
        }
    }
    stream.playing = true;
    return true;
}

bool Mixer::setGain(StreamHandle handle, float gain) {
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return false;
    }
    it->second->gain = std::clamp(gain, 0.0f, 1.0f);
    return true;
}

void Mixer::resume(StreamHandle handle) {
    std::lock_guard guard(lock_);
    if (auto it = streams_.find(handle); it != streams_.end()) {
        it->second->held = false;
    }
}

void Mixer::mix(std::int16_t* out, std::size_t frames, std::vector<DueCall>& due,
                std::vector<StreamHandle>& started) {
    const std::size_t samples = frames * kOutputChannels;
    if (accumulator_.size() < samples) {
        accumulator_.resize(samples);
    }
    std::fill_n(accumulator_.begin(), samples, 0);
    {
        std::lock_guard guard(lock_);
        for (auto& [handle, streamPtr] : streams_) {
            Stream& stream = *streamPtr;
            if (!stream.playing || stream.held) {
                continue;
            }
            if (!stream.started && stream.frames > 0) {
                stream.started = true;
                started.push_back(handle);
            }
            std::uint64_t count = std::min<std::uint64_t>(frames, stream.frames - stream.position);
            for (const auto& sync : stream.syncs) {
                if (sync.type == kSyncPosition && !sync.fired && sync.frame >= stream.position &&
                    sync.frame < stream.position + count) {
                    count = sync.frame - stream.position;  // mix up to the position, then hold
                    stream.held = true;
                }
            }
            const std::int16_t* source = stream.samples.data() + stream.position * kOutputChannels;
            const float gain = stream.gain;
            for (std::size_t i = 0; i < count * kOutputChannels; ++i) {
                accumulator_[i] += static_cast<std::int32_t>(static_cast<float>(source[i]) * gain);
            }
            const std::uint64_t next = stream.position + count;
            const bool ended = next >= stream.frames;
            for (auto& sync : stream.syncs) {
                bool isDue = sync.type == kSyncPosition
                                 ? stream.position <= sync.frame && sync.frame <= next &&
                                       (stream.held || sync.frame < next)
                                 : ended;
                if (!sync.fired && isDue) {
                    sync.fired = true;
                    due.push_back({sync.id, handle, sync.callback, sync.user});
                }
            }
            stream.position = next;
            if (ended) {
                stream.playing = false;
            }
        }
    }
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(accumulator_[i], -32768, 32767));
    }
}

}  // namespace audio
