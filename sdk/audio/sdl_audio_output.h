// The audio library over SDL2: WAV files decoded and converted to the output
// format when a stream is created, mixed in SDL's audio callback, and sync
// callbacks delivered on a dispatcher thread of this object's own.
//
// Under SDL's "dummy" driver playback runs at real-time pace into nothing;
// under "disk" the mixed output lands in the file SDL_DISKAUDIOFILE names.
//
// Threads: as AudioOutput says; every operation may be called from any thread.
#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/audio/audio_output.h"

namespace audio {

class SdlAudioOutput : public AudioOutput {
  public:
    // Output format after init: 16-bit signed, this many channels, at the
    // frequency init was given.
    static constexpr int kChannels = 2;

    SdlAudioOutput();
    ~SdlAudioOutput() override;

    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool init(int device, std::uint32_t frequency, std::uint32_t flags) override;
    bool release() override;
    StreamHandle streamCreateFile(const std::string& nativePath) override;
    std::uint64_t channelGetLength(StreamHandle stream, std::uint32_t mode) override;
    double channelBytesToSeconds(StreamHandle stream, std::uint64_t bytes) override;
    SyncHandle channelSetSync(StreamHandle stream, std::uint32_t type, std::uint64_t parameter,
                              SyncCallback callback, void* user) override;
    bool channelPlay(StreamHandle stream, bool restart) override;
    bool channelSetVolume(StreamHandle stream, float gain) override;
    bool streamFree(StreamHandle stream) override;

    // Called on SDL's audio thread when a stream's first sample is mixed into
    // the output (for latency measurements). Set before init; keep it short.
    using FirstSampleHook = std::function<void(StreamHandle)>;
    void setFirstSampleHook(FirstSampleHook hook) { firstSampleHook_ = std::move(hook); }

  private:
    struct Sync {
        SyncHandle id;
        std::uint32_t type;
        std::uint64_t frame;  // output frame for a position sync
        SyncCallback callback;
        void* user;
        bool fired = false;
    };
    struct Stream;
    struct PendingCall {
        SyncHandle sync;
        StreamHandle stream;
        SyncCallback callback;
        void* user;
    };

    static void SDLCALL mixCallback(void* self, Uint8* out, int length);
    void mix(std::int16_t* out, std::size_t frames);
    void dispatchLoop();

    FirstSampleHook firstSampleHook_;
    std::atomic<SDL_AudioDeviceID> device_{0};
    int frequency_ = 0;
    std::vector<std::int32_t> accumulator_;  // audio thread only

    std::mutex stateLock_;  // guards streams_ and the handle counters
    std::map<StreamHandle, std::unique_ptr<Stream>> streams_;
    StreamHandle lastStream_ = 0;
    SyncHandle lastSync_ = 0;

    // Held while a callback runs, so streamFree (which takes it too) never
    // returns while a callback of the freed stream is still to run. Recursive:
    // a callback may free its own stream.
    std::recursive_mutex callbackLock_;

    std::mutex queueLock_;  // guards calls_ and stopping_
    std::condition_variable queueReady_;
    std::deque<PendingCall> calls_;
    bool stopping_ = false;
    std::thread dispatcher_;
};

}  // namespace audio
