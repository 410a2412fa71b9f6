#include "speech/playback.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <ctime>
#include <future>
#include <memory>
#include <system_error>
#include <utility>

namespace speech {

namespace {

constexpr int kDefaultDevice = -1;
constexpr std::uint32_t kOutputRate = 44100;

void deleteFile(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

bool sameState(const ReaderState& a, const ReaderState& b) {
    return a.paused == b.paused && a.playing.has_value() == b.playing.has_value() &&
           (!a.playing || (a.playing->id == b.playing->id && a.playing->startedAt == b.playing->startedAt));
}

}  // namespace

Playback::Playback(audio::AudioOutput& audio, Clock clock) : audio_(audio), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    }
    audioReady_ = audio_.init(kDefaultDevice, kOutputRate, 0);
    thread_ = std::thread([this] { loop_.run(); });
}

Playback::~Playback() {
    releaseAudio();
}

void Playback::setListeners(StateListener state, Listener fileTaken) {
    stateListener_ = std::move(state);
    fileTaken_ = std::move(fileTaken);
}

void Playback::enqueue(std::filesystem::path file, Announcement announcement) {
    {
        std::lock_guard guard(lock_);
        waiting_.push_back(Waiting{std::move(file), std::move(announcement)});
    }
    boost::asio::post(loop_, [this] { startNext(); });
}

void Playback::skip() {
    boost::asio::post(loop_, [this] {
        audio::StreamHandle stream = 0;
        {
            std::lock_guard guard(lock_);
            stream = currentStream_;
        }
        if (stream != 0) {
            finish(stream);  // starts the next as well
        }
    });
}

std::size_t Playback::clear() {
    std::deque<Waiting> dropped;
    {
        std::lock_guard guard(lock_);
        dropped.swap(waiting_);
    }
    for (const auto& w : dropped) {
        deleteFile(w.file);
    }
    if (!dropped.empty() && fileTaken_) {
        boost::asio::post(loop_, [this] { fileTaken_(); });
    }
    return dropped.size();
}

void Playback::drop(Pick pick) {
    std::deque<Waiting> dropped;
    {
        std::lock_guard guard(lock_);
        auto kept = std::stable_partition(waiting_.begin(), waiting_.end(),
                                          [&pick](const Waiting& w) { return !pick(w.announcement); });
        dropped.assign(std::make_move_iterator(kept), std::make_move_iterator(waiting_.end()));
        waiting_.erase(kept, waiting_.end());
    }
    for (const auto& w : dropped) {
        deleteFile(w.file);
    }
    boost::asio::post(loop_, [this, pick = std::move(pick), anyDropped = !dropped.empty()] {
        audio::StreamHandle stream = 0;
        {
            std::lock_guard guard(lock_);
            if (current_ && pick(current_->announcement)) {
                stream = currentStream_;
            }
        }
        if (stream != 0) {
            finish(stream);  // starts the next as well
        } else if (anyDropped && fileTaken_) {
            fileTaken_();  // room for the worker to hand over more
        }
    });
}

void Playback::setPaused(bool paused) {
    paused_ = paused;
    boost::asio::post(loop_, [this] {
        startNext();  // a resume starts the next file; either way the subscribers learn the state
        notify();
    });
}

bool Playback::playing() const {
    std::lock_guard guard(lock_);
    return currentStream_ != 0;
}

std::size_t Playback::waiting() const {
    std::lock_guard guard(lock_);
    return waiting_.size();
}

void Playback::fillSnapshot(ReaderSnapshot& snapshot) const {
    std::lock_guard guard(lock_);
    if (current_) {
        snapshot.playing = current_->announcement;
    }
    for (const auto& w : waiting_) {
        snapshot.waiting.push_back(w.announcement);
    }
    snapshot.recent.assign(recent_.begin(), recent_.end());
    snapshot.paused = paused_;
}

void Playback::releaseAudio() {
    if (released_.exchange(true)) {
        return;
    }
    work_.reset();
    loop_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (audioReady_) {
        audio_.release();  // frees the stream playing now; no callback after this
    }
    std::deque<Waiting> left;
    {
        std::lock_guard guard(lock_);
        if (current_) {
            left.push_back(std::move(*current_));
            current_.reset();
        }
        currentStream_ = 0;
        left.insert(left.end(), std::make_move_iterator(waiting_.begin()),
                    std::make_move_iterator(waiting_.end()));
        waiting_.clear();
    }
    // A playback cut short by the release never reached its end, and the files
    // still waiting will never play: none of them is left on disk.
    for (const auto& w : left) {
        deleteFile(w.file);
    }
}

void Playback::startNext() {
    bool took = false;
    while (!paused_) {
        Waiting next;
        {
            std::lock_guard guard(lock_);
            if (currentStream_ != 0 || waiting_.empty()) {
                break;
            }
            next = std::move(waiting_.front());
            waiting_.pop_front();
        }
        took = true;
        if (stale_ && stale_(next.announcement)) {
            deleteFile(next.file);
            continue;
        }
        audio::StreamHandle stream = 0;
        if (!playFile(next.file, next.announcement.item.kind == SpeechKind::PaidChat, stream)) {
            deleteFile(next.file);  // unplayable: don't let it pile up
            continue;
        }
        next.announcement.startedAt = clock_();
        std::lock_guard guard(lock_);
        currentStream_ = stream;
        current_ = std::move(next);
    }
    if (took && fileTaken_) {
        fileTaken_();
    }
    notify();
}

bool Playback::playFile(const std::filesystem::path& file, bool whole, audio::StreamHandle& stream) {
    stream = audio_.streamCreateFile(file.string());
    if (stream == 0) {
        return false;
    }
    std::uint64_t bytes = audio_.channelGetLength(stream, audio::kLengthBytes);
    double seconds = audio_.channelBytesToSeconds(stream, bytes);
    bool started = true;
    // A paid message is read to its end: the viewer paid for every word.
    double limit = whole ? 0.0 : durationLimit_.load();
    if (limit > 0 && seconds > limit) {
        auto position = static_cast<std::uint64_t>(static_cast<double>(bytes) * (limit / seconds));
        started =
            audio_.channelSetSync(stream, audio::kSyncPosition, position, &Playback::onPlaybackEnd, this);
    }
    started = started && audio_.channelSetSync(stream, audio::kSyncEnd, 0, &Playback::onPlaybackEnd, this);
    audio_.channelSetVolume(stream, static_cast<float>(std::clamp(volume_.load(), 0, 100)) / 100.0f);
    started = started && audio_.channelPlay(stream, false);
    if (!started) {
        // No callback will come: free the stream here, or nothing would ever play again.
        audio_.streamFree(stream);
        stream = 0;
        return false;
    }
    return true;
}

void Playback::onPlaybackEnd(audio::SyncHandle, audio::StreamHandle stream, std::uint32_t, void* user) {
    // The end (or the cut) of a stream, on the audio library's thread: the
    // playback thread frees it, so only that thread ever touches the stream
    // playing now. A late second end of the same stream finds it gone.
    auto* self = static_cast<Playback*>(user);
    boost::asio::post(self->loop_, [self, stream] { self->finish(stream); });
}

void Playback::finish(audio::StreamHandle stream) {
    std::optional<Waiting> ended;
    {
        std::lock_guard guard(lock_);
        if (stream == 0 || stream != currentStream_) {
            return;
        }
        currentStream_ = 0;
        ended = std::move(current_);
        current_.reset();
    }
    audio_.streamFree(stream);
    if (ended) {
        retire(std::move(*ended));
    }
    startNext();
}

void Playback::retire(Waiting ended) {
    // Into the history first: once its file is gone, an announcement reads as done.
    {
        std::lock_guard guard(lock_);
        recent_.push_front(std::move(ended.announcement));
        if (recent_.size() > ReaderSnapshot::kRecent) {
            recent_.pop_back();
        }
    }
    deleteFile(ended.file);
}

audio::AudioOutput::DeviceOpened Playback::selectDevice(const std::string& name) {
    using Opened = audio::AudioOutput::DeviceOpened;
    if (released_) {
        return Opened::Failed;
    }
    // Owned by the handler: should the loop never run it, the future breaks
    // instead of waiting for ever.
    auto task = std::make_shared<std::packaged_task<Opened()>>([this, name] { return reopen(name); });
    std::future<Opened> opened = task->get_future();
    boost::asio::post(loop_, [task] { (*task)(); });
    try {
        return opened.get();
    } catch (const std::future_error&) {
        return Opened::Failed;
    }
}

audio::AudioOutput::DeviceOpened Playback::reopen(const std::string& name) {
    std::optional<Waiting> cut;
    if (audioReady_) {
        audio_.release();  // frees the stream playing now; no callback after this
        std::lock_guard guard(lock_);
        currentStream_ = 0;
        cut = std::move(current_);
        current_.reset();
    }
    if (cut) {
        retire(std::move(*cut));
    }
    const auto opened = audio_.openDevice(name, kOutputRate);
    audioReady_ = opened != audio::AudioOutput::DeviceOpened::Failed;
    startNext();  // and tells the subscribers that nothing plays, if so
    return opened;
}

void Playback::notify() {
    ReaderState state;
    {
        std::lock_guard guard(lock_);
        if (current_) {
            state.playing = current_->announcement;
        }
        state.paused = paused_;
    }
    if (sameState(lastNotified_, state)) {
        return;
    }
    lastNotified_ = state;
    if (stateListener_) {
        stateListener_(state);
    }
}

}  // namespace speech
