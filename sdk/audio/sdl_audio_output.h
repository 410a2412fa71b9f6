// The audio library over SDL2: the device and its callback, and a dispatcher
// thread of this object's own for sync callbacks. Decoding is wav_file's,
// conversion and mixing the Mixer's; this file only moves their blocks to the
// device and their due callbacks to the dispatcher. A file is read a block at
// a time as the device pulls it, never whole.
//
// The device is always opened as 16-bit stereo at the frequency init was
// given, whatever WAVs play on it. Under SDL's "dummy" driver playback runs at
// real-time pace into nothing; under "disk" the mixed output lands in the file
// SDL_DISKAUDIOFILE names.
//
// Threads: as AudioOutput says; every operation may be called from any thread.
#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/audio/audio_output.h"
#include "sdk/audio/mixer.h"

namespace audio {

class SdlAudioOutput : public AudioOutput {
  public:
    static constexpr int kChannels = kOutputChannels;

    SdlAudioOutput();
    ~SdlAudioOutput() override;

    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    bool init(int device, std::uint32_t frequency, std::uint32_t flags) override;
    std::vector<std::string> deviceNames() override;
    DeviceOpened openDevice(const std::string& name, std::uint32_t frequency) override;
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
    // Opens `name` (null = default) with the output format; false on failure.
    bool openNamed(const char* name, std::uint32_t frequency);
    static void SDLCALL mixCallback(void* self, Uint8* out, int length);
    void mix(std::int16_t* out, std::size_t frames);
    void dispatchLoop();

    FirstSampleHook firstSampleHook_;
    std::atomic<SDL_AudioDeviceID> device_{0};
    // Made by the first open and kept until destruction, so no operation
    // racing a release ever meets a destroyed mixer.
    std::unique_ptr<Mixer> mixer_;

    // Reserved once, so the audio thread does not allocate.
    std::vector<Mixer::DueCall> due_;
    std::vector<StreamHandle> started_;

    // Held while a callback runs, so streamFree (which takes it too) never
    // returns while a callback of the freed stream is still to run. Recursive:
    // a callback may free its own stream.
    std::recursive_mutex callbackLock_;

    std::mutex queueLock_;  // guards calls_ and stopping_
    std::condition_variable queueReady_;
    std::deque<Mixer::DueCall> calls_;
    bool stopping_ = false;
    std::thread dispatcher_;
};

}  // namespace audio
