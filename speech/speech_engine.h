// The speech engine: the queue of announcements, the gift tally, the worker
// thread that synthesises each text into a WAV file, and the playback of
// those files on a thread of its own. Nothing here runs on the dialog's or
// the network's loop, so a stalled network never delays an announcement.
//
// Threads: construct and destroy on the owner's thread. The SpeechService
// operations as that interface says (the host's controls and the snapshot
// from any thread; the reader observer runs on the playback thread); the
// inspection getters from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
#include "speech/viewer_cooldown.h"

class SpeechEngine : public SpeechService {
  public:
    // Seconds since 1970; gift times, WAV file names and the times of the
    // history come from it.
    using Clock = std::function<std::int64_t()>;

    // With the given SDK and audio output (both outliving the engine), clock
    // and WAV directory (a native path; created when missing). Speech files that an earlier run left in the
    // directory (names of this engine's own pattern only) are deleted.
    SpeechEngine(tts::SpeechSdk& sdk, audio::AudioOutput& audio, Clock clock, std::filesystem::path wavesDir);

    ~SpeechEngine() override;

    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    void pushText(std::string text, bool atFront) override;
    void pushItem(SpeechItem item) override;
    bool addGift(const GiftEvent& gift) override;
    void applySettings(const SpeechSettings& settings) override;
    int loginSdk() override;
    void setSpeakObserver(SpeakObserver observer) override;
    void setStatusObserver(StatusObserver observer) override;
    std::vector<std::string> outputDevices() override;
    OutputDeviceResult selectOutputDevice(const std::string& name) override;

    void skip() override;
    void clear() override;
    void dropViewer(const std::string& gbkName) override;
    void setPaused(bool paused) override;
    bool paused() const override;
    ReaderSnapshot snapshot() const override;
    void setReaderObserver(ReaderObserver observer) override;

    // Any thread. Replaces the session parameters the next synthesis uses.
    bool setVoiceParams(int voiceIndex, int speed);

    std::string sessionParams() const;
    bool sdkLoggedIn() const { return sdkLoggedIn_; }
    bool audioReady() const { return playback_.audioReady(); }
    const std::filesystem::path& wavesDir() const { return wavesDir_; }
    std::size_t queuedTexts() const { return queue_.size(); }
    std::size_t tallySenders() const { return tally_.size(); }

  private:
    void wake();
    void workerLoop();
    void synthesize(Announcement announcement);
    // A chat line that waited longer than the host allows.
    bool tooOld(const Announcement& announcement, std::int64_t now) const;
    std::filesystem::path nextWavPath();

    tts::SpeechSdk& sdk_;
    speech::SdkSynthesizer builtInVoices_{sdk_};
    speech::SynthesisChoice synthesis_{builtInVoices_};
    Clock clock_;
    const std::filesystem::path wavesDir_;

    speech::SpeechQueue queue_;
    speech::GiftTally tally_;
    speech::ViewerCooldown cooldown_;
    std::atomic<std::int32_t> maxWait_{0};

    mutable std::mutex paramsLock_;
    std::string sessionParams_;
    std::mutex observerLock_;
    SpeakObserver observer_;
    ReaderObserver readerObserver_;

    // The worker sleeps until a text, a gift or a free playback slot arrives.
    std::mutex wakeLock_;
    std::condition_variable wakeUp_;
    bool signalled_ = false;  // guarded by wakeLock_

    // Held while a finished file is handed to playback, so that a clear
    // either sees it waiting or the worker sees the clear.
    mutable std::mutex handOverLock_;
    std::uint64_t clears_ = 0;                 // guarded by handOverLock_
    std::optional<Announcement> inSynthesis_;  // guarded by handOverLock_
    std::uint64_t droppedInSynthesis_ = 0;     // id; guarded by handOverLock_
    // Ends the synthesis under way (read by it without the lock; set under
    // handOverLock_, reset there when the next one starts).
    std::atomic<bool> stopSynthesis_{false};

    std::atomic<bool> sdkLoggedIn_{false};
    std::atomic<bool> stopRequested_{false};
    speech::Playback playback_;
    std::thread worker_;
};

// Seconds since 1970 from the system clock: the Clock a running program uses.
std::int64_t systemSeconds();
