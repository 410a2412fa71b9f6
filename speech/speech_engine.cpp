#include "speech/speech_engine.h"

#include <ctime>

#include "sdk/audio/sdl_audio_output.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"
#include "speech/wav_names.h"
#include "sys/sys.h"
#include "util/text.h"

namespace {

constexpr std::uint32_t kWorkerPollMs = 100;

// Synthesis runs ahead of playback by this many finished files at most. In a
// busy room the texts then wait in the queue, where the host's cache count
// bounds them, instead of piling up on disk as files hours behind the chat.
constexpr std::size_t kFilesAhead = 2;

std::string withTrailingSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

std::int64_t systemSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

struct SpeechEngine::OwnedParts {
    tts::EspeakSdk sdk;
    audio::SdlAudioOutput audio;
};

SpeechEngine::SpeechEngine(boost::asio::io_context& eventLoop)
    : SpeechEngine(eventLoop, std::make_unique<OwnedParts>()) {}

SpeechEngine::SpeechEngine(boost::asio::io_context& eventLoop, std::unique_ptr<OwnedParts> owned)
    : SpeechEngine(eventLoop, owned->sdk, owned->audio, &systemSeconds, sys::exeDir() + "waves/") {
    owned_ = std::move(owned);
}

SpeechEngine::SpeechEngine(boost::asio::io_context& eventLoop, tts::SpeechSdk& sdk, audio::AudioOutput& audio,
                           Clock clock, std::string wavesDir)
    : sdk_(sdk),
      clock_(std::move(clock)),
      wavesDir_(withTrailingSeparator(std::move(wavesDir))),
      wavesDirGbk_(util::utf8ToLocal(wavesDir_)),
      playback_(eventLoop, audio) {
    sys::ensureDirectory(wavesDir_);
    worker_ = std::thread(&SpeechEngine::workerLoop, this);
    playback_.start();
}

SpeechEngine::~SpeechEngine() {
    stopRequested_ = true;
    synthesis_.cancel();  // an external engine's run would hold the join for up to its time limit
    worker_.join();
    playback_.releaseAudio();
    if (sdkLoggedIn_) {
        sdk_.logout();
    }
}

void SpeechEngine::pushText(std::string text, bool atFront) {
    queue_.push(std::move(text), atFront);
}

bool SpeechEngine::addGift(const GiftEvent& gift) {
    tally_.add(gift, clock_(), queue_);
    return true;
}

void SpeechEngine::applySettings(const SpeechSettings& settings) {
    minLength_ = settings.minLength;
    maxLength_ = settings.maxLength;
    queue_.setLimit(settings.queueLimit);
    playback_.setDurationLimit(settings.durationLimit);
    playback_.setVolume(settings.volume);
    setVoiceParams(settings.voiceIndex, settings.speed);
    synthesis_.configure(settings.engineCommand, settings.voiceIndex, settings.speed, settings.volume);
}

int SpeechEngine::loginSdk() {
    int result = sdk_.login(nullptr, nullptr, speech::kSdkLoginParams);
    sdkLoggedIn_ = result == 0;
    return result;
}

void SpeechEngine::setSpeakObserver(SpeakObserver observer) {
    std::lock_guard guard(observerLock_);
    observer_ = std::move(observer);
}

void SpeechEngine::setStatusObserver(StatusObserver observer) {
    synthesis_.setStatusObserver(std::move(observer));
}

bool SpeechEngine::setVoiceParams(int voiceIndex, int speed) {
    std::string params = speech::buildSessionParams(voiceIndex, speed);
    std::lock_guard guard(paramsLock_);
    sessionParams_ = std::move(params);
    return true;
}

std::string SpeechEngine::sessionParams() const {
    std::lock_guard guard(paramsLock_);
    return sessionParams_;
}

std::string SpeechEngine::nextWavPath() {
    std::time_t now = static_cast<std::time_t>(clock_());
    std::tm local{};
    localtime_r(&now, &local);
    return speech::wavFilePath(wavesDirGbk_, local, sys::currentThreadId(), [](const std::string& gbkPath) {
        return sys::fileExists(util::localToUtf8(gbkPath));
    });
}

void SpeechEngine::workerLoop() {
    while (!stopRequested_) {
        std::string text;
        if (playback_.waiting() < kFilesAhead && queue_.pop(text)) {
            SpeakObserver observer;
            {
                std::lock_guard guard(observerLock_);
                observer = observer_;
            }
            if (observer) {
                observer(text);
            }
            sys::ensureDirectory(wavesDir_);  // it may have been removed while we run
            std::string path = nextWavPath();
            if (synthesis_.synthesize(text, path, sessionParams())) {
                playback_.enqueue(std::move(path));
            }
        }
        tally_.flush(clock_(), queue_);
        sys::sleepMs(kWorkerPollMs);
    }
}

std::unique_ptr<SpeechService> makeSpeechEngine(boost::asio::io_context& eventLoop) {
    return std::make_unique<SpeechEngine>(eventLoop);
}
