// The speech engine the program runs with.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "core/speech_service.h"

namespace app {

// The real engine writing its files into `wavesDir` when it is built into
// this program, otherwise SilentSpeech.
SpeechServiceFactory defaultSpeechFactory(std::filesystem::path wavesDir);

// An engine that synthesises nothing: every text counts as taken at once, so
// the speak observer (the headless log) still sees it. Keeps the program
// usable where no speech engine is built in.
//
// Threads: any; the observer runs on the calling thread.
class SilentSpeech : public SpeechService {
  public:
    void pushText(std::string text, bool atFront) override;
    bool addGift(const GiftEvent& gift) override;
    void applySettings(const SpeechSettings& settings) override;
    int loginSdk() override { return 0; }
    void setSpeakObserver(SpeakObserver observer) override;

  private:
    std::mutex mutex_;
    SpeakObserver observer_;
};

}  // namespace app
