// A scripted speech SDK: every session replays the same audio-get steps, and
// every call is recorded. Thread-safe: set the behaviour before use or
// through change().
#pragma once

#include <cmath>
#include <cstdint>
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

    // `ms` milliseconds of a 440 Hz tone at 16 kHz.
    static std::vector<char> tone(int ms) {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(ms) * 16);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] =
                static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / 16000));
        }
        auto* bytes = reinterpret_cast<const char*>(samples.data());
        return {bytes, bytes + samples.size() * 2};
    }

    int beginError = 0, textPutResult = 0, endResult = 0;
    std::vector<Step> steps{{tone(100), tts::kSynthComplete, 0}};

    template <typename Change>
    void change(Change change) {
        std::lock_guard guard(lock_);
        change(*this);
    }

    int login(const char*, const char*, const char* params) override {
        std::lock_guard guard(lock_);
        loginParams_ = params;
        return 0;
    }
    int logout() override {
        std::lock_guard guard(lock_);
        ++logouts_;
        return 0;
    }
    tts::SessionHandle sessionBegin(const char* params, int* errorCode) override {
        std::lock_guard guard(lock_);
        beginParams_.push_back(params);
        next_ = 0;
        *errorCode = beginError;
        return beginError == 0 ? this : nullptr;
    }
    int textPut(tts::SessionHandle, const char* text, unsigned length, const char*) override {
        std::lock_guard guard(lock_);
        texts_.emplace_back(text, length);
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
        endHints_.push_back(hints);
        return endResult;
    }

    std::string loginParams() const { return locked(loginParams_); }
    std::vector<std::string> beginParams() const { return locked(beginParams_); }
    std::vector<std::string> texts() const { return locked(texts_); }
    std::vector<std::string> endHints() const { return locked(endHints_); }
    int logouts() const { return locked(logouts_); }

  private:
    template <typename T>
    T locked(const T& value) const {
        std::lock_guard guard(lock_);
        return value;
    }

    mutable std::mutex lock_;
    std::size_t next_ = 0;
    std::string loginParams_;
    std::vector<std::string> beginParams_, texts_, endHints_;
    int logouts_ = 0;
};

}  // namespace testing_support
