// The speech engine the program runs with: the engine of speech/ wired to the
// real synthesiser and audio output.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "core/speech_service.h"

namespace app {

// The engine with the espeak-ng synthesiser and the SDL audio output, writing
// its files into `wavesDir` (native path).
SpeechServiceFactory defaultSpeechFactory(std::filesystem::path wavesDir);

// What the dialog runs when a factory yields no engine: every text counts as
// taken at once, so the speak observer still sees it.
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
