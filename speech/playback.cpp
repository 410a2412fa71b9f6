#include "speech/playback.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <utility>

#include "sys/sys.h"
#include "util/text.h"

namespace speech {

namespace {

constexpr int kDefaultDevice = -1;
constexpr std::uint32_t kOutputRate = 44100;

// While a file plays or waits, the timer re-arms this soon so a new file
// starts right after the previous one ended. With nothing to play it is not
// re-armed at all: the next enqueue wakes it, so an idle engine costs nothing.
constexpr std::chrono::microseconds kRearmDelay{500};

}  // namespace

struct Playback::Context {
    Playback* owner;
    std::string nativePath;  // deleted when playback ends
};

Playback::Playback(boost::asio::io_context& eventLoop, audio::AudioOutput& audio)
    : audio_(audio), eventLoop_(eventLoop), timer_(eventLoop) {
    audioReady_ = audio_.init(kDefaultDevice, kOutputRate, 0);
}

Playback::~Playback() {
    lifetime_.reset();  // a wake-up still queued on the loop must not reach us
    releaseAudio();
    timer_.cancel();
}

void Playback::start() {
    arm(std::chrono::seconds(1));
}

void Playback::arm(std::chrono::microseconds delay) {
    timer_.expires_after(delay);
    timer_.async_wait([this](const boost::system::error_code& error) { onPlaybackTimer(error); });
}

void Playback::enqueue(std::string path) {
    bool wake = false;
    {
        std::lock_guard guard(playlistLock_);
        wavFiles_.push_back(std::move(path));
        wake = std::exchange(timerStopped_, false);
    }
    if (wake) {
        boost::asio::post(eventLoop_, [this, alive = std::weak_ptr<void>(lifetime_)] {
            if (alive.lock()) {
                onPlaybackTimer({});
            }
        });
    }
}

std::size_t Playback::waiting() const {
    std::lock_guard guard(playlistLock_);
    return wavFiles_.size();
}

void Playback::releaseAudio() {
    if (released_.exchange(true)) {
        return;
    }
    if (audioReady_) {
        audio_.release();
    }
    // A playback cut short by the release never reached its callback, and the
    // files still waiting will never play: none of them is left in "waves".
    if (Context* cut = liveContext_.exchange(nullptr)) {
        sys::deleteFile(cut->nativePath);
        delete cut;
    }
    currentStream_ = 0;
    std::deque<std::string> waiting;
    {
        std::lock_guard guard(playlistLock_);
        waiting.swap(wavFiles_);
    }
    for (const auto& path : waiting) {
        sys::deleteFile(util::localToUtf8(path));
    }
}

void Playback::onPlaybackTimer(const boost::system::error_code& error) {
    if (error) {
        return;
    }
    if (currentStream_ == 0 && !released_) {
        std::string path;
        {
            std::lock_guard guard(playlistLock_);
            if (wavFiles_.empty()) {
                // Decided under the lock, so an enqueue either sees the flag
                // and wakes us or put its file in before we looked.
                timerStopped_ = true;
                return;
            }
            path = std::move(wavFiles_.front());
            wavFiles_.pop_front();
        }
        if (!path.empty()) {
            playFile(std::move(path));
        }
    }
    arm(kRearmDelay);
}

bool Playback::playFile(std::string path) {
    if (audio::StreamHandle previous = currentStream_.exchange(0)) {
        audio_.streamFree(previous);
        delete liveContext_.exchange(nullptr);
    }
    std::string nativePath = util::localToUtf8(path);
    audio::StreamHandle stream = audio_.streamCreateFile(nativePath);
    if (stream == 0) {
        sys::deleteFile(nativePath);  // unplayable: don't let it pile up
        return false;
    }
    std::uint64_t bytes = audio_.channelGetLength(stream, audio::kLengthBytes);
    double seconds = audio_.channelBytesToSeconds(stream, bytes);
    auto* context = new Context{this, nativePath};
    liveContext_ = context;
    currentStream_ = stream;

    bool started = true;
    double limit = durationLimit_;
    if (limit > 0 && seconds > limit) {
        auto position = static_cast<std::uint64_t>(static_cast<double>(bytes) * (limit / seconds));
        started =
            audio_.channelSetSync(stream, audio::kSyncPosition, position, &Playback::onPlaybackEnd, context);
    }
    started = started && audio_.channelSetSync(stream, audio::kSyncEnd, 0, &Playback::onPlaybackEnd, context);
    audio_.channelSetVolume(stream, static_cast<float>(std::clamp(volume_.load(), 0, 100)) / 100.0f);
    started = started && audio_.channelPlay(stream, false);
    if (!started) {
        // No callback will come: free the stream here, or nothing would ever play again.
        audio_.streamFree(stream);
        liveContext_ = nullptr;
        delete context;
        currentStream_ = 0;
        sys::deleteFile(nativePath);
        return false;
    }
    return true;
}

void Playback::onPlaybackEnd(audio::SyncHandle, audio::StreamHandle stream, std::uint32_t, void* user) {
    auto* context = static_cast<Context*>(user);
    Playback* self = context->owner;
    self->audio_.streamFree(stream);
    sys::deleteFile(context->nativePath);
    Context* expected = context;
    self->liveContext_.compare_exchange_strong(expected, nullptr);
    delete context;
    // Last, so the timer starts the next file only when this one is gone.
    audio::StreamHandle playingNow = stream;
    self->currentStream_.compare_exchange_strong(playingNow, 0);
}

}  // namespace speech
