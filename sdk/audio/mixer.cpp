#include "sdk/audio/mixer.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <optional>

#include "sdk/tts/resampler.h"

namespace audio {

// Pulls a source through the rate conversion into a short buffer of output
// frames. Memory is one source block, its conversion and what the output has
// not yet taken, whatever the file's length.
class StreamConverter {
  public:
    StreamConverter(std::unique_ptr<WavSource> source, int outputRate)
        : source_(std::move(source)), outputRate_(outputRate) {
        start();
    }

    std::uint64_t generation() const { return generation_; }
    void rewind(std::uint64_t generation) {
        source_->rewind();
        generation_ = generation;
        start();
    }

    // Converts until `frames` output frames wait, or the source is done.
    void fill(std::size_t frames) {
        const auto channels = static_cast<std::size_t>(source_->info().channels);
        while (available() < frames && !exhausted_) {
            block_.resize(kBlockFrames * channels);
            const std::size_t got = source_->read(block_.data(), kBlockFrames);
            left_.clear();
            right_.clear();
            for (std::size_t i = 0; i < got; ++i) {
                left_.push_back(block_[i * channels]);
                if (channels > 1) {
                    right_.push_back(block_[i * channels + 1]);
                }
            }
            leftResampler_->push(left_.data(), left_.size(), leftOut_);
            if (channels > 1) {
                rightResampler_->push(right_.data(), right_.size(), rightOut_);
            }
            if (got == 0) {
                leftResampler_->finish(leftOut_);
                if (channels > 1) {
                    rightResampler_->finish(rightOut_);
                }
                exhausted_ = true;
            }
            interleave(channels > 1);
        }
        measure();
    }

    std::size_t available() const { return (out_.size() - taken_) / kOutputChannels; }
    const std::int16_t* data() const { return out_.data() + taken_; }
    void consume(std::size_t frames) {
        taken_ += frames * kOutputChannels;
        if (taken_ == out_.size()) {
            out_.clear();
            taken_ = 0;
        }
    }
    bool exhausted() const { return exhausted_; }
    std::size_t heldSamples() const { return held_.load(std::memory_order_relaxed); }

  private:
    // Enough for the output to pull a device buffer in one or two reads.
    static constexpr std::size_t kBlockFrames = 1024;

    void start() {
        const int rate = source_->info().rate;
        leftResampler_.emplace(rate, outputRate_);
        if (source_->info().channels > 1) {
            rightResampler_.emplace(rate, outputRate_);
        }
        leftOut_.clear();
        rightOut_.clear();
        out_.clear();
        taken_ = 0;
        exhausted_ = false;
        measure();
    }

    void interleave(bool stereo) {
        const std::vector<std::int16_t>& second = stereo ? rightOut_ : leftOut_;
        const std::size_t frames = std::min(leftOut_.size(), second.size());
        if (taken_ > 0) {
            out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(taken_));
            taken_ = 0;
        }
        for (std::size_t i = 0; i < frames; ++i) {
            out_.push_back(leftOut_[i]);
            out_.push_back(second[i]);
        }
        leftOut_.erase(leftOut_.begin(), leftOut_.begin() + static_cast<std::ptrdiff_t>(frames));
        if (stereo) {
            rightOut_.erase(rightOut_.begin(), rightOut_.begin() + static_cast<std::ptrdiff_t>(frames));
        }
    }

    void measure() {
        held_.store(block_.capacity() + left_.capacity() + right_.capacity() + leftOut_.capacity() +
                        rightOut_.capacity() + out_.capacity(),
                    std::memory_order_relaxed);
    }

    std::unique_ptr<WavSource> source_;
    const int outputRate_;
    std::uint64_t generation_ = 0;
    std::optional<tts::Resampler> leftResampler_, rightResampler_;
    std::vector<std::int16_t> block_, left_, right_, leftOut_, rightOut_;
    std::vector<std::int16_t> out_;  // interleaved output frames; the first `taken_` samples are used
    std::size_t taken_ = 0;
    bool exhausted_ = false;
    std::atomic<std::size_t> held_{0};
};

namespace {

// Samples already in memory, handed out as a file reader would.
class MemorySource : public WavSource {
  public:
    explicit MemorySource(const WavAudio& wav) : samples_(wav.samples) {
        info_.rate = wav.rate;
        info_.channels = wav.channels;
        info_.bytesPerSample = wav.bytesPerSample;
        info_.frames = wav.frames();
    }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        const auto channels = static_cast<std::size_t>(info_.channels);
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(frames, info_.frames - next_));
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(next_ * channels), count * channels, out);
        next_ += count;
        return count;
    }
    void rewind() override { next_ = 0; }

  private:
    std::vector<std::int16_t> samples_;
    std::uint64_t next_ = 0;
};

}  // namespace

std::uint64_t outputFrames(std::uint64_t frames, int sourceRate, int outputRate) {
    if (sourceRate <= 0 || outputRate <= 0) {
        return 0;
    }
    if (sourceRate == outputRate) {
        return frames;
    }
    // As the resampler's tail ends: the source's duration, rounded up.
    const auto divisor = static_cast<std::uint64_t>(std::gcd(sourceRate, outputRate));
    const std::uint64_t up = static_cast<std::uint64_t>(outputRate) / divisor;
    const std::uint64_t down = static_cast<std::uint64_t>(sourceRate) / divisor;
    return (frames * up + down - 1) / down;
}

std::vector<std::int16_t> toOutputFormat(const WavAudio& wav, int outputRate) {
    if (wav.frames() == 0 || wav.rate <= 0 || outputRate <= 0) {
        return {};
    }
    StreamConverter converter(std::make_unique<MemorySource>(wav), outputRate);
    std::vector<std::int16_t> out;
    while (!converter.exhausted() || converter.available() > 0) {
        converter.fill(4096);
        out.insert(out.end(), converter.data(), converter.data() + converter.available() * kOutputChannels);
        converter.consume(converter.available());
    }
    return out;
}

Mixer::Mixer(int outputRate) : outputRate_(outputRate) {
    pulls_.reserve(64);
}

Mixer::~Mixer() = default;

StreamHandle Mixer::add(const WavAudio& wav) {
    return add(std::make_unique<MemorySource>(wav));
}

StreamHandle Mixer::add(std::unique_ptr<WavSource> source) {
    auto stream = std::make_shared<Stream>();
    const WavInfo& info = source->info();
    stream->sourceRate = info.rate;
    stream->sourceFrameBytes = static_cast<std::uint32_t>(info.channels * info.bytesPerSample);
    stream->sourceBytes = info.sourceBytes();
    stream->frames = outputFrames(info.frames, info.rate, outputRate_);
    stream->converter = std::make_unique<StreamConverter>(std::move(source), outputRate_);
    std::lock_guard guard(lock_);
    do {
        ++lastStream_;
    } while (lastStream_ == 0 || streams_.count(lastStream_));
    streams_.emplace(lastStream_, std::move(stream));
    return lastStream_;
}

bool Mixer::remove(StreamHandle handle) {
    std::shared_ptr<Stream> removed;
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
    std::map<StreamHandle, std::shared_ptr<Stream>> removed;
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
        ++stream.generation;
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

std::size_t Mixer::bufferedSamples(StreamHandle handle) const {
    std::lock_guard guard(lock_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? 0 : it->second->converter->heldSamples();
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
    // Which streams will play, then their files read and converted with the
    // lock free, so no other caller ever waits for a disk.
    pulls_.clear();
    {
        std::lock_guard guard(lock_);
        for (auto& [handle, stream] : streams_) {
            if (stream->playing && !stream->held) {
                pulls_.push_back({stream, stream->generation});
            }
        }
    }
    for (auto& pull : pulls_) {
        StreamConverter& converter = *pull.stream->converter;
        if (converter.generation() != pull.generation) {
            converter.rewind(pull.generation);
        }
        converter.fill(frames);
    }
    {
        std::lock_guard guard(lock_);
        for (auto& [handle, streamPtr] : streams_) {
            Stream& stream = *streamPtr;
            StreamConverter& converter = *stream.converter;
            // A stream started or restarted since the files were read waits
            // for the next block.
            if (!stream.playing || stream.held || converter.generation() != stream.generation) {
                continue;
            }
            if (!stream.started && stream.frames > 0 && converter.available() > 0) {
                stream.started = true;
                started.push_back(handle);
            }
            std::uint64_t count = std::min<std::uint64_t>(
                {frames, stream.frames - std::min(stream.position, stream.frames), converter.available()});
            for (const auto& sync : stream.syncs) {
                if (sync.type == kSyncPosition && !sync.fired && sync.frame >= stream.position &&
                    sync.frame < stream.position + count) {
                    count = sync.frame - stream.position;  // mix up to the position, then hold
                    stream.held = true;
                }
            }
            const std::int16_t* source = converter.data();
            const float gain = stream.gain;
            for (std::size_t i = 0; i < count * kOutputChannels; ++i) {
                accumulator_[i] += static_cast<std::int32_t>(static_cast<float>(source[i]) * gain);
            }
            converter.consume(static_cast<std::size_t>(count));
            const std::uint64_t next = stream.position + count;
            // A file cut short while it plays ends where its audio ends.
            const bool ended = next >= stream.frames ||
                               (converter.exhausted() && converter.available() == 0 && !stream.held);
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
    // A stream freed meanwhile is destroyed here, outside the lock.
    pulls_.clear();
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(accumulator_[i], -32768, 32767));
    }
}

}  // namespace audio
