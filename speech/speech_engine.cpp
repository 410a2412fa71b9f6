#include "speech/speech_engine.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <system_error>

#include "speech/command_template.h"
#include "speech/synthesis.h"
#include "speech/wav_names.h"
#include "sys/sys.h"

namespace {

// While senders wait in the gift tally the worker looks this often for the
// ones that have gone quiet; with none it sleeps until something arrives.
constexpr std::chrono::milliseconds kTallyPoll{100};

// Synthesis runs ahead of playback by this many finished files at most. In a
// busy room the texts then wait in the queue, where the host's cache count
// bounds them, instead of piling up on disk as files hours behind the chat.
constexpr std::size_t kFilesAhead = 2;

void ensureDirectory(const std::filesystem::path& dir) {
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
}

}  // namespace

std::int64_t systemSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

SpeechEngine::SpeechEngine(tts::SpeechSdk& sdk, audio::AudioOutput& audio, Clock clock,
                           std::filesystem::path wavesDir)
    : sdk_(sdk), clock_(std::move(clock)), wavesDir_(std::move(wavesDir)), playback_(audio, clock_) {
    ensureDirectory(wavesDir_);
    speech::removeStaleSpeechFiles(wavesDir_);
    // The age limit holds when a line's turn comes, also for a file that was
    // still being made when reading resumed.
    playback_.setStaleCheck([this](const Announcement& a) { return tooOld(a, clock_()); });
    playback_.setListeners(
        [this](const ReaderState& state) {
            ReaderObserver observer;
            {
                std::lock_guard guard(observerLock_);
                observer = readerObserver_;
            }
            if (observer) {
                observer(state);
            }
        },
        [this] { wake(); });
    worker_ = std::thread(&SpeechEngine::workerLoop, this);
}

SpeechEngine::~SpeechEngine() {
    stopRequested_ = true;
    {
        // A synthesis or an external engine's run would hold the join for
        // minutes or up to its time limit.
        std::lock_guard guard(handOverLock_);
        stopSynthesis_ = true;
    }
    synthesis_.cancel();
    wake();
    worker_.join();
    playback_.releaseAudio();
    if (sdkLoggedIn_) {
        sdk_.logout();
    }
}

void SpeechEngine::wake() {
    {
        std::lock_guard guard(wakeLock_);
        signalled_ = true;
    }
    wakeUp_.notify_one();
}

void SpeechEngine::pushText(std::string text, bool atFront) {
    pushItem(SpeechItem{std::move(text), atFront ? SpeechKind::Welcome : SpeechKind::Chat, {}});
}

void SpeechEngine::pushItem(SpeechItem item) {
    item.text = withinCeiling(std::move(item.text));  // a waiting text holds no more than can be spoken
    const std::int64_t now = clock_();
    if (item.kind == SpeechKind::Chat && !cooldown_.admit(item.viewer, now)) {
        return;
    }
    if (queue_.push(std::move(item), now)) {
        wake();
    }
}

bool SpeechEngine::addGift(const GiftEvent& gift) {
    tally_.add(gift, clock_(), queue_);
    wake();  // a thank-you may be waiting now, and the tally wants watching
    return true;
}

void SpeechEngine::applySettings(const SpeechSettings& settings) {
    queue_.setLimit(settings.queueLimit);
    cooldown_.setSeconds(settings.viewerCooldown);
    maxWait_ = settings.maxWait;
    playback_.setDurationLimit(settings.durationLimit);
    playback_.setVolume(speech::playbackVolume(settings.engineCommand, settings.volume));
    setVoiceParams(settings.voiceIndex, settings.speed);
    synthesis_.configure(settings.engineCommand, settings.voiceIndex, settings.speed, settings.volume,
                         settings.engineRawText);
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

void SpeechEngine::skip() {
    {
        // With nothing playing or ready, the text in synthesis is the one
        // the host hears next: skipping stops it instead of a silence.
        std::lock_guard guard(handOverLock_);
        if (inSynthesis_ && !playback_.playing() && playback_.waiting() == 0) {
            droppedInSynthesis_ = inSynthesis_->id;
            inSynthesis_.reset();
            stopSynthesis_ = true;
        }
    }
    playback_.skip();
}

void SpeechEngine::clear() {
    std::lock_guard guard(handOverLock_);
    ++clears_;  // the text in synthesis now is dropped at once
    if (inSynthesis_) {
        stopSynthesis_ = true;
    }
    inSynthesis_.reset();  // so it no longer counts as waiting
    tally_.clear();        // before the queue, so no thank-you flushed meanwhile survives
    queue_.clear();
    playback_.clear();
}

void SpeechEngine::dropViewer(const std::string& gbkName) {
    if (gbkName.empty()) {
        return;
    }
    auto theirs = [gbkName](const Announcement& a) { return a.item.viewer == gbkName; };
    std::lock_guard guard(handOverLock_);
    tally_.drop(gbkName);  // before the queue, so no thank-you flushed meanwhile survives
    queue_.removeIf(theirs);
    if (inSynthesis_ && theirs(*inSynthesis_)) {
        droppedInSynthesis_ = inSynthesis_->id;  // dropped at once
        inSynthesis_.reset();
        stopSynthesis_ = true;
    }
    playback_.drop(theirs);
}

bool SpeechEngine::tooOld(const Announcement& announcement, std::int64_t now) const {
    const std::int32_t maxWait = maxWait_;
    return maxWait > 0 && announcement.item.kind == SpeechKind::Chat && now - announcement.queuedAt > maxWait;
}

void SpeechEngine::setPaused(bool paused) {
    if (!paused) {
        // Files made before the pause would be read long after their time.
        const std::int64_t now = clock_();
        playback_.drop([this, now](const Announcement& a) { return a.startedAt == 0 && tooOld(a, now); });
    }
    playback_.setPaused(paused);
}

bool SpeechEngine::paused() const {
    return playback_.paused();
}

ReaderSnapshot SpeechEngine::snapshot() const {
    ReaderSnapshot snapshot;
    std::lock_guard guard(handOverLock_);
    playback_.fillSnapshot(snapshot);
    if (inSynthesis_) {
        snapshot.waiting.push_back(*inSynthesis_);
    }
    for (auto& queued : queue_.items()) {
        snapshot.waiting.push_back(std::move(queued));
    }
    return snapshot;
}

void SpeechEngine::setReaderObserver(ReaderObserver observer) {
    std::lock_guard guard(observerLock_);
    readerObserver_ = std::move(observer);
}

void SpeechEngine::setStatusObserver(StatusObserver observer) {
    synthesis_.setStatusObserver(std::move(observer));
}

std::vector<std::string> SpeechEngine::outputDevices() {
    return playback_.deviceNames();
}

OutputDeviceResult SpeechEngine::selectOutputDevice(const std::string& name) {
    using Opened = audio::AudioOutput::DeviceOpened;
    switch (playback_.selectDevice(name)) {
        case Opened::Default:
            return OutputDeviceResult::Default;
        case Opened::Named:
            return OutputDeviceResult::Named;
        case Opened::FellBackToDefault:
            return OutputDeviceResult::FellBackToDefault;
        case Opened::Failed:
            break;
    }
    return OutputDeviceResult::Failed;
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

std::filesystem::path SpeechEngine::nextWavPath() {
    std::time_t now = static_cast<std::time_t>(clock_());
    std::tm local{};
    localtime_r(&now, &local);
    return speech::wavFilePath(wavesDir_, local, sys::currentThreadId(), [](const std::filesystem::path& p) {
        std::error_code ignored;
        return std::filesystem::exists(p, ignored);
    });
}

void SpeechEngine::synthesize(Announcement announcement) {
    // Whatever queued it, no longer text reaches synthesis.
    announcement.item.text = withinCeiling(std::move(announcement.item.text));
    std::uint64_t clearsBefore = 0;
    {
        std::lock_guard guard(handOverLock_);
        clearsBefore = clears_;
        stopSynthesis_ = stopRequested_.load();
        inSynthesis_ = announcement;
    }
    ensureDirectory(wavesDir_);  // it may have been removed while we run
    std::filesystem::path path = nextWavPath();
    // The file exists before anyone learns that the text is being spoken, so
    // "waves" is never empty while an announcement is on its way.
    std::ofstream(path, std::ios::binary).close();
    SpeakObserver observer;
    {
        std::lock_guard guard(observerLock_);
        observer = observer_;
    }
    if (observer) {
        observer(announcement.item.text);
    }
    bool written = synthesis_.synthesize(announcement.item.text, path, sessionParams(), &stopSynthesis_);
    std::lock_guard guard(handOverLock_);
    inSynthesis_.reset();
    if (!written || clears_ != clearsBefore || droppedInSynthesis_ == announcement.id) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return;
    }
    playback_.enqueue(std::move(path), std::move(announcement));
}

void SpeechEngine::workerLoop() {
    bool busy = false;  // took a text last round: look again before sleeping
    while (!stopRequested_) {
        if (!busy) {
            std::unique_lock lock(wakeLock_);
            auto woken = [this] { return signalled_ || stopRequested_; };
            if (tally_.size() == 0) {
                wakeUp_.wait(lock, woken);
            } else {
                wakeUp_.wait_for(lock, kTallyPoll, woken);
            }
            signalled_ = false;
        }
        busy = false;
        Announcement announcement;
        if (!stopRequested_ && playback_.waiting() < kFilesAhead && queue_.pop(announcement)) {
            if (!tooOld(announcement, clock_())) {
                synthesize(std::move(announcement));
            }
            busy = true;
        }
        std::size_t before = queue_.size();
        tally_.flush(clock_(), queue_);
        if (queue_.size() > before) {
            busy = true;  // thank-yous came due: take them before sleeping
        }
    }
}
