// A scripted speech SDK: every session replays the same audio-get steps, and
// every call is recorded. Other threads read and change it through with().
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/audio/audio_output.h"
#include "sdk/tts/speech_sdk.h"

namespace testing_support {

class FakeSdk : public tts::SpeechSdk {
  public:
    struct Step {
        std::vector<char> audio;  // empty: null pointer
        int status = tts::kSynthContinue;
        int error = 0;
    };

    // `ms` milliseconds of 16 kHz audio.
    static std::vector<char> pcm(int ms) { return std::vector<char>(static_cast<std::size_t>(ms) * 32, 9); }

    template <typename F>
    auto with(F f) {
        std::lock_guard guard(lock_);
        return f(*this);
    }

    int login(const char*, const char*, const char*) override { return 0; }
    int logout() override { return 0; }
    tts::SessionHandle sessionBegin(const char*, int* errorCode) override {
        std::lock_guard guard(lock_);
        next_ = 0;
        *errorCode = beginError;
        return beginError == 0 ? this : nullptr;
    }
    int textPut(tts::SessionHandle, const char* text, unsigned length, const char*) override {
        std::lock_guard guard(lock_);
        texts.emplace_back(text, length);
        return textPutResult;
    }
    const void* audioGet(tts::SessionHandle, unsigned* length, int* status, int* errorCode) override {
        std::lock_guard guard(lock_);
        const Step& step = steps[std::min(next_++, steps.size() - 1)];
        *length = static_cast<unsigned>(step.audio.size());
        *status = step.status;
        *errorCode = step.error;
        return step.audio.empty() ? nullptr : step.audio.data();
    }
    int sessionEnd(tts::SessionHandle, const char* hints) override {
        std::lock_guard guard(lock_);
        endHints.push_back(hints);
        return endResult;
    }

    // Behaviour.
    int beginError = 0, textPutResult = 0, endResult = 0;
    std::vector<Step> steps{{pcm(100), tts::kSynthComplete, 0}};
    // Record.
    std::vector<std::string> texts, endHints;

  private:
    std::mutex lock_;
    std::size_t next_ = 0;
};

// An audio output whose streams play for ever: the first file never ends, so
// whatever waits behind it stays waiting.
struct EndlessOutput : audio::AudioOutput {
    std::atomic<audio::StreamHandle> created{0};

    bool init(int, std::uint32_t, std::uint32_t) override { return true; }
    bool release() override { return true; }
    audio::StreamHandle streamCreateFile(const std::string&) override { return ++created; }
    std::uint64_t channelGetLength(audio::StreamHandle, std::uint32_t) override { return 32000; }
    double channelBytesToSeconds(audio::StreamHandle, std::uint64_t bytes) override {
        return bytes / 32000.0;
    }
    audio::SyncHandle channelSetSync(audio::StreamHandle, std::uint32_t, std::uint64_t, audio::SyncCallback,
                                     void*) override {
        return 1;
    }
    bool channelPlay(audio::StreamHandle, bool) override { return true; }
    bool channelSetVolume(audio::StreamHandle, float) override { return true; }
    bool streamFree(audio::StreamHandle) override { return true; }
};

}  // namespace testing_support
