#include "sdk/audio/sdl_audio_output.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace audio {

namespace {

constexpr int kBufferFrames = 512;  // about 12 ms at 44.1 kHz: short enough to cut playback precisely

// The whole file when it starts like a WAV file; empty otherwise.
std::vector<char> readWavFile(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 44 || bytes.size() > static_cast<std::size_t>(INT32_MAX) ||
        std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return {};
    }
    return bytes;
}

}  // namespace

struct SdlAudioOutput::Stream {
    int sourceRate = 0;
    std::uint32_t sourceFrameBytes = 0;  // bytes per frame in the file's decoded format
    std::uint64_t sourceBytes = 0;
    std::vector<std::int16_t> samples;  // output format, interleaved
    std::uint64_t frames = 0;           // output frames in samples
    std::uint64_t position = 0;         // next output frame to mix
    float gain = 1.0f;
    bool playing = false;
    bool started = false;  // first sample mixed
    // Reached a position sync whose callback has not run yet: nothing past
    // the position is played until it has, so a callback that frees the
    // stream there cuts it exactly, however late the dispatcher runs.
    bool held = false;
    std::vector<Sync> syncs;
};

SdlAudioOutput::SdlAudioOutput() = default;

SdlAudioOutput::~SdlAudioOutput() {
    release();
}

bool SdlAudioOutput::init(int device, std::uint32_t frequency, std::uint32_t flags) {
    if (device_ != 0 || frequency == 0) {
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    const char* name = nullptr;
    if (device > 0) {
        name = SDL_GetAudioDeviceName(device - 1, 0);
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(frequency);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kChannels;
    wanted.samples = kBufferFrames;
    wanted.callback = &SdlAudioOutput::mixCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    frequency_ = wanted.freq;
    accumulator_.assign(static_cast<std::size_t>(kBufferFrames) * kChannels, 0);
    {
        std::lock_guard guard(queueLock_);
        stopping_ = false;
    }
    dispatcher_ = std::thread(&SdlAudioOutput::dispatchLoop, this);
    // No format changes allowed: SDL converts to the device itself, so the
    // mixer (and a disk capture) always sees exactly this format.
    SDL_AudioDeviceID opened = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
    if (opened == 0) {
        {
            std::lock_guard guard(queueLock_);
            stopping_ = true;
        }
        queueReady_.notify_all();
        dispatcher_.join();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    device_ = opened;
    SDL_PauseAudioDevice(opened, 0);
    return true;
}

bool SdlAudioOutput::release() {
    SDL_AudioDeviceID device = device_.exchange(0);
    if (device == 0) {
        return false;
    }
    SDL_CloseAudioDevice(device);  // waits for the audio thread
    {
        std::lock_guard guard(queueLock_);
        stopping_ = true;
        calls_.clear();
    }
    queueReady_.notify_all();
    dispatcher_.join();
    std::map<StreamHandle, std::unique_ptr<Stream>> streams;
    {
        std::lock_guard guard(stateLock_);
        streams.swap(streams_);
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

StreamHandle SdlAudioOutput::streamCreateFile(const std::string& nativePath) {
    if (device_ == 0) {
        return 0;
    }
    // Files that are missing or plainly not WAV are turned away here: each
    // failing SDL call leaves an error buffer behind on the calling thread,
    // which SDL frees only for threads of its own.
    std::vector<char> file = readWavFile(nativePath);
    if (file.empty()) {
        return 0;
    }
    SDL_AudioSpec source{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1, &source, &buffer,
                        &length)) {
        return 0;
    }
    auto stream = std::make_unique<Stream>();
    stream->sourceRate = source.freq;
    stream->sourceFrameBytes =
        static_cast<std::uint32_t>(SDL_AUDIO_BITSIZE(source.format) / 8 * source.channels);
    stream->sourceBytes = length - length % std::max<std::uint32_t>(stream->sourceFrameBytes, 1);
    bool converted = stream->sourceFrameBytes != 0 && source.freq > 0;
    if (converted && stream->sourceBytes > 0) {
        std::uint64_t sourceFrames = stream->sourceBytes / stream->sourceFrameBytes;
        auto expectedFrames = static_cast<std::size_t>(sourceFrames * static_cast<std::uint64_t>(frequency_) /
                                                       static_cast<std::uint64_t>(source.freq));
        // SDL's resampler keeps the last few dozen milliseconds back even when
        // flushed: feed 100 ms of silence after the audio and cut the output
        // to the exact converted length.
        std::vector<Uint8> padding(static_cast<std::size_t>(source.freq / 10) * stream->sourceFrameBytes,
                                   source.format == AUDIO_U8 ? 0x80 : 0);
        SDL_AudioStream* converter = SDL_NewAudioStream(source.format, source.channels, source.freq,
                                                        AUDIO_S16SYS, kChannels, frequency_);
        converted = converter &&
                    SDL_AudioStreamPut(converter, buffer, static_cast<int>(stream->sourceBytes)) == 0 &&
                    SDL_AudioStreamPut(converter, padding.data(), static_cast<int>(padding.size())) == 0 &&
                    SDL_AudioStreamFlush(converter) == 0;
        if (converted) {
            int available = SDL_AudioStreamAvailable(converter);
            stream->samples.resize(static_cast<std::size_t>(available) / sizeof(std::int16_t));
            int got = SDL_AudioStreamGet(converter, stream->samples.data(), available);
            converted = got >= 0;
            stream->samples.resize(std::min(static_cast<std::size_t>(std::max(got, 0)) / sizeof(std::int16_t),
                                            expectedFrames * kChannels));
        }
        if (converter) {
            SDL_FreeAudioStream(converter);
        }
    }
    SDL_FreeWAV(buffer);
    if (!converted) {
        return 0;
    }
    stream->frames = stream->samples.size() / kChannels;

    std::lock_guard guard(stateLock_);
    do {
        ++lastStream_;
    } while (lastStream_ == 0 || streams_.count(lastStream_));
    streams_.emplace(lastStream_, std::move(stream));
    return lastStream_;
}

std::uint64_t SdlAudioOutput::channelGetLength(StreamHandle handle, std::uint32_t mode) {
    std::lock_guard guard(stateLock_);
    auto it = streams_.find(handle);
    if (it == streams_.end() || mode != kLengthBytes) {
        return ~std::uint64_t{0};
    }
    return it->second->sourceBytes;
}

double SdlAudioOutput::channelBytesToSeconds(StreamHandle handle, std::uint64_t bytes) {
    std::lock_guard guard(stateLock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return -1;
    }
    const Stream& stream = *it->second;
    return static_cast<double>(bytes) / (static_cast<double>(stream.sourceFrameBytes) * stream.sourceRate);
}

SyncHandle SdlAudioOutput::channelSetSync(StreamHandle handle, std::uint32_t type, std::uint64_t parameter,
                                          SyncCallback callback, void* user) {
    if (!callback || (type != kSyncPosition && type != kSyncEnd)) {
        return 0;
    }
    std::lock_guard guard(stateLock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return 0;
    }
    Stream& stream = *it->second;
    Sync sync{++lastSync_ == 0 ? ++lastSync_ : lastSync_, type, 0, callback, user};
    if (type == kSyncPosition) {
        // Source bytes to output frames: the same instant in both formats.
        std::uint64_t sourceFrame = parameter / stream.sourceFrameBytes;
        sync.frame =
            static_cast<std::uint64_t>(static_cast<double>(sourceFrame) * frequency_ / stream.sourceRate);
    }
    stream.syncs.push_back(sync);
    return sync.id;
}

bool SdlAudioOutput::channelPlay(StreamHandle handle, bool restart) {
    std::lock_guard guard(stateLock_);
    auto it = streams_.find(handle);
    if (it == streams_.end() || device_ == 0) {
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

bool SdlAudioOutput::channelSetVolume(StreamHandle handle, float gain) {
    std::lock_guard guard(stateLock_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return false;
    }
    it->second->gain = std::clamp(gain, 0.0f, 1.0f);
    return true;
}

bool SdlAudioOutput::streamFree(StreamHandle handle) {
    std::unique_ptr<Stream> freed;
    {
        std::lock_guard callbacks(callbackLock_);
        std::lock_guard guard(stateLock_);
        auto it = streams_.find(handle);
        if (it == streams_.end()) {
            return false;
        }
        freed = std::move(it->second);
        streams_.erase(it);
    }
    return true;  // the samples are released here, outside both locks
}

void SDLCALL SdlAudioOutput::mixCallback(void* self, Uint8* out, int length) {
    auto frames = static_cast<std::size_t>(length) / (sizeof(std::int16_t) * kChannels);
    static_cast<SdlAudioOutput*>(self)->mix(reinterpret_cast<std::int16_t*>(out), frames);
}

void SdlAudioOutput::mix(std::int16_t* out, std::size_t frames) {
    if (accumulator_.size() < frames * kChannels) {
        accumulator_.resize(frames * kChannels);
    }
    std::fill_n(accumulator_.begin(), frames * kChannels, 0);
    StreamHandle startedNow[4];
    std::size_t startedCount = 0;
    bool queued = false;
    {
        std::lock_guard guard(stateLock_);
        for (auto& [handle, streamPtr] : streams_) {
            Stream& stream = *streamPtr;
            if (!stream.playing || stream.held) {
                continue;
            }
            if (!stream.started && stream.frames > 0) {
                stream.started = true;
                if (startedCount < std::size(startedNow)) {
                    startedNow[startedCount++] = handle;
                }
            }
            std::uint64_t count = std::min<std::uint64_t>(frames, stream.frames - stream.position);
            for (const auto& sync : stream.syncs) {
                if (sync.type == kSyncPosition && !sync.fired && sync.frame >= stream.position &&
                    sync.frame < stream.position + count) {
                    count = sync.frame - stream.position;  // mix up to the position, then hold
                    stream.held = true;
                }
            }
            const std::int16_t* source = stream.samples.data() + stream.position * kChannels;
            for (std::size_t i = 0; i < count * kChannels; ++i) {
                accumulator_[i] += static_cast<std::int32_t>(source[i] * stream.gain);
            }
            std::uint64_t next = stream.position + count;
            bool ended = next >= stream.frames;
            std::lock_guard queue(queueLock_);
            for (auto& sync : stream.syncs) {
                bool due = sync.type == kSyncPosition ? stream.position <= sync.frame && sync.frame <= next &&
                                                            (stream.held || sync.frame < next)
                                                      : ended;
                if (!sync.fired && due) {
                    sync.fired = true;
                    calls_.push_back({sync.id, handle, sync.callback, sync.user});
                    queued = true;
                }
            }
            stream.position = next;
            if (ended) {
                stream.playing = false;
            }
        }
    }
    for (std::size_t i = 0; i < frames * kChannels; ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(accumulator_[i], -32768, 32767));
    }
    if (queued) {
        queueReady_.notify_one();
    }
    if (firstSampleHook_) {
        for (std::size_t i = 0; i < startedCount; ++i) {
            firstSampleHook_(startedNow[i]);
        }
    }
}

void SdlAudioOutput::dispatchLoop() {
    while (true) {
        PendingCall call;
        {
            std::unique_lock queue(queueLock_);
            queueReady_.wait(queue, [this] { return stopping_ || !calls_.empty(); });
            if (stopping_) {
                return;
            }
            call = calls_.front();
            calls_.pop_front();
        }
        std::lock_guard callbacks(callbackLock_);
        {
            std::lock_guard guard(stateLock_);
            if (!streams_.count(call.stream)) {
                continue;  // freed after the sync was reached
            }
        }
        call.callback(call.sync, call.stream, 0, call.user);
        std::lock_guard guard(stateLock_);
        if (auto it = streams_.find(call.stream); it != streams_.end()) {
            it->second->held = false;  // not freed by its callback: play on
        }
    }
}

}  // namespace audio
