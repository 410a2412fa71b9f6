// The speech engine: the queue of announcement texts, the gift tally, the
// worker thread that synthesises each text into a WAV file, and the playback
// of those files on the dialog's event loop.
//
// Threads: construct and destroy on the dialog's thread. Destroy only while
// the event loop runs no handlers (it has stopped, or never ran). The
// SpeechService operations as that interface says; the inspection getters
// from any thread.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/speech_service.h"
#include "sdk/audio/audio_output.h"
#include "sdk/tts/speech_sdk.h"
#include "speech/gift_tally.h"
#include "speech/playback.h"
#include "speech/speech_queue.h"
#include "speech/synthesis_choice.h"
#include "speech/synthesizer.h"

class SpeechEngine : public SpeechService {
  public:
    // Seconds since 1970; gift times and WAV file names come from it.
    using Clock = std::function<std::int64_t()>;

    // With the real synthesiser and audio output, the system clock and the
    // "waves" directory beside the program (created when missing).
    explicit SpeechEngine(boost::asio::io_context& eventLoop);

    // With the given SDK, audio output (both outliving the engine), clock and
    // WAV directory (native path, with or without a trailing separator).
    SpeechEngine(boost::asio::io_context& eventLoop, tts::SpeechSdk& sdk, audio::AudioOutput& audio,
                 Clock clock, std::string wavesDir);

    ~SpeechEngine() override;

    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    void pushText(std::string text, bool atFront) override;
    bool addGift(const GiftEvent& gift) override;
    void applySettings(const SpeechSettings& settings) override;
    int loginSdk() override;
    void setSpeakObserver(SpeakObserver observer) override;
    void setStatusObserver(StatusObserver observer) override;

    // Any thread. Replaces the session parameters the next synthesis uses.
    bool setVoiceParams(int voiceIndex, int speed);

    std::string sessionParams() const;
    bool sdkLoggedIn() const { return sdkLoggedIn_; }
    bool audioReady() const { return playback_.audioReady(); }
    std::int32_t minLength() const { return minLength_; }
    std::int32_t maxLength() const { return maxLength_; }
    const std::string& wavesDir() const { return wavesDir_; }
    std::size_t queuedTexts() const { return queue_.size(); }

  private:
    struct OwnedParts;
    SpeechEngine(boost::asio::io_context& eventLoop, std::unique_ptr<OwnedParts> owned);

    void workerLoop();
    std::string nextWavPath();

    std::unique_ptr<OwnedParts> owned_;  // the real SDK and audio output, when the engine made them
    tts::SpeechSdk& sdk_;
    speech::SdkSynthesizer builtInVoices_{sdk_};
    speech::SynthesisChoice synthesis_{builtInVoices_};
    Clock clock_;
    const std::string wavesDir_;     // native, with trailing separator
    const std::string wavesDirGbk_;  // the same in GBK, for building file names

    std::atomic<std::int32_t> minLength_{6};
    std::atomic<std::int32_t> maxLength_{16};
    speech::SpeechQueue queue_;
    speech::GiftTally tally_;

    mutable std::mutex paramsLock_;
    std::string sessionParams_;
    std::mutex observerLock_;
    SpeakObserver observer_;

    std::atomic<bool> sdkLoggedIn_{false};
    std::atomic<bool> stopRequested_{false};
    speech::Playback playback_;
    std::thread worker_;
};

// The engine with the real synthesiser and audio output, for the dialog.
std::unique_ptr<SpeechService> makeSpeechEngine(boost::asio::io_context& eventLoop);
