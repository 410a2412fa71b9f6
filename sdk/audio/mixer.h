// The audio library's streams without a device: each WAV read and converted
// to the output format a block at a time as the output pulls it, mixed into
// blocks of output with its gain, and the syncs that fall due reported to the
// caller. Pure computation, so tests drive it block by block without a sound
// card or SDL.
//
// A stream that reaches a position sync holds there (plays nothing further)
// until `resume` says its callback has run: a callback that frees the stream
// then cuts it at exactly that position, however late it runs.
//
// Threads: every operation from any thread; `mix` from one thread at a time
// (the device's). An internal lock guards the streams; nothing blocks under
// it: `mix` reads the files between two holds of the lock, and only it ever
// touches a stream's reader and conversion state.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/audio/audio_output.h"
#include "sdk/audio/wav_file.h"

namespace audio {

inline constexpr int kOutputChannels = 2;

// A WAV's samples as 16-bit stereo at `outputRate`: mono goes to both sides,
// more than two channels keep the first two (front left and right). Windowed
// sinc rate conversion; the length is the source's duration at the new rate.
// The streams convert the same way, block by block.
std::vector<std::int16_t> toOutputFormat(const WavAudio& wav, int outputRate);

// Output frames a source of `frames` frames at `sourceRate` becomes.
std::uint64_t outputFrames(std::uint64_t frames, int sourceRate, int outputRate);

class StreamConverter;

class Mixer {
  public:
    struct DueCall {
        SyncHandle sync;
        StreamHandle stream;
        SyncCallback callback;
        void* user;
    };

    explicit Mixer(int outputRate);
    ~Mixer();

    // Keeps `source` and converts it as it plays; returns its handle (never
    // 0). The source is read only by `mix` from now on.
    StreamHandle add(std::unique_ptr<WavSource> source);
    // The same for samples already in memory (copied).
    StreamHandle add(const WavAudio& wav);
    // Takes the stream out; its samples are released outside the lock. False
    // when there is no such stream.
    bool remove(StreamHandle stream);
    void clear();
    bool contains(StreamHandle stream) const;

    std::uint64_t sourceBytes(StreamHandle stream) const;                   // ~0 when unknown
    double bytesToSeconds(StreamHandle stream, std::uint64_t bytes) const;  // -1 when unknown
    SyncHandle setSync(StreamHandle stream, std::uint32_t type, std::uint64_t sourceBytePosition,
                       SyncCallback callback, void* user);
    bool play(StreamHandle stream, bool restart);
    bool setGain(StreamHandle stream, float gain);  // clamped to 0..1
    // Samples the stream holds in memory now (read, converted, not yet
    // mixed, plus the conversion's working buffers): bounded by a block
    // however long the file. 0 when unknown.
    std::size_t bufferedSamples(StreamHandle stream) const;
    // The callback of a sync that held the stream has run: play on.
    void resume(StreamHandle stream);

    // Mixes the next `frames` frames of every playing stream into `out`
    // (interleaved stereo), appending the syncs now due to `due` and the
    // streams whose first sample was mixed now to `started`. Reserve both
    // beforehand to keep the device's thread free of allocations.
    void mix(std::int16_t* out, std::size_t frames, std::vector<DueCall>& due,
             std::vector<StreamHandle>& started);

  private:
    struct Sync {
        SyncHandle id;
        std::uint32_t type;
        std::uint64_t frame;  // output frame for a position sync
        SyncCallback callback;
        void* user;
        bool fired = false;
    };
    struct Stream {
        int sourceRate = 0;
        std::uint32_t sourceFrameBytes = 0;
        std::uint64_t sourceBytes = 0;
        std::uint64_t frames = 0;      // output frames
        std::uint64_t generation = 0;  // bumped by a restart; the converter follows on the next mix
        std::unique_ptr<StreamConverter> converter;
        std::uint64_t position = 0;
        float gain = 1.0f;
        bool playing = false;
        bool started = false;
        bool held = false;
        std::vector<Sync> syncs;
    };

    const int outputRate_;
    mutable std::mutex lock_;
    // Shared with `mix`, which converts outside the lock: a stream removed
    // meanwhile goes when that mix lets go of it.
    std::map<StreamHandle, std::shared_ptr<Stream>> streams_;
    StreamHandle lastStream_ = 0;
    SyncHandle lastSync_ = 0;
    std::vector<std::int32_t> accumulator_;  // mix's thread only
    struct Pull {
        std::shared_ptr<Stream> stream;
        std::uint64_t generation;
    };
    std::vector<Pull> pulls_;  // mix's thread only
};

}  // namespace audio
