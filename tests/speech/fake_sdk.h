// A scripted speech SDK: every session replays the same audio-get steps, and
// every call is recorded. Other threads read and change it through with().
#pragma once

#include <mutex>
#include <string>
#include <vector>

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
    tts::SessionHandle sessionBegin(const char* params, int* errorCode) override {
        std::lock_guard guard(lock_);
        beginParams.push_back(params);
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
    std::vector<std::string> beginParams, texts, endHints;

  private:
    std::mutex lock_;
    std::size_t next_ = 0;
};

}  // namespace testing_support
