// Plays the finished WAV files one at a time on a thread of its own, so no
// other loop (the network's in particular) can hold up the next announcement.
// A file starts the moment it arrives when nothing plays, and the moment the
// previous one ends; the audio library's callback ends each playback (at the
// file's end, or at the duration limit) and the file is deleted. Nothing runs
// while nothing plays: there is no timer.
//
// Pausing lets the file playing now finish and starts nothing new; skip stops
// the one playing now at once.
//
// Threads: construct, releaseAudio and destroy on the owner's thread; every
// other operation from any thread. The playback thread runs the listeners;
// the audio library's thread only hands each end over to it.
#pragma once

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/speech_service.h"
#include "sdk/audio/audio_output.h"

namespace speech {

class Playback {
  public:
    using Clock = std::function<std::int64_t()>;  // seconds since 1970, for the times of the history
    using StateListener = std::function<void(const ReaderState&)>;
    using Listener = std::function<void()>;

    // Initialises `audio` on the system's default output at 44.1 kHz and
    // starts the playback thread.
    explicit Playback(audio::AudioOutput& audio, Clock clock = {});
    ~Playback();

    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Set before the first enqueue. `state` runs on the playback thread when
    // the announcement playing now or the paused state changes; `fileTaken`
    // when a waiting file leaves the list (played or dropped).
    void setListeners(StateListener state, Listener fileTaken);
    // Set before the first enqueue. Runs on the playback thread as a file's
    // turn comes; a file it picks is deleted unplayed (a line that waited too
    // long, however it came to wait).
    void setStaleCheck(std::function<bool(const Announcement&)> stale) { stale_ = std::move(stale); }

    // Queues a finished WAV file (native path) behind the others.
    void enqueue(std::filesystem::path file, Announcement announcement = {});

    void skip();
    std::size_t clear();  // the waiting files, deleted; returns how many
    void setPaused(bool paused);
    // Any thread. Drops the waiting files `pick` picks (deleting them) and,
    // on the playback thread shortly after, stops the one playing if it picks
    // that too.
    using Pick = std::function<bool(const Announcement&)>;
    void drop(Pick pick);
    bool paused() const { return paused_; }

    // Longest playback of one file in seconds; 0 or less: no limit. Paid
    // messages are never cut.
    void setDurationLimit(double seconds) { durationLimit_ = seconds; }
    // 0..100, a linear gain applied to each file as it starts.
    void setVolume(int volume) { volume_ = volume; }

    bool audioReady() const { return audioReady_; }

    // Any thread but the playback thread's own (it waits for it). Reopens
    // the output on the named device (UTF-8, as deviceNames lists it; empty:
    // the system's default), always 16-bit stereo at 44.1 kHz. The
    // announcement playing at that moment is cut; the waiting ones play on
    // the new device. A name that is no longer present gives the default.
    audio::AudioOutput::DeviceOpened selectDevice(const std::string& name);
    // Any thread. The playback devices as the audio library names them.
    std::vector<std::string> deviceNames() { return audio_.deviceNames(); }
    bool playing() const;
    std::size_t waiting() const;
    // Fills playing, the waiting files (as the first of `waiting`), recent and paused.
    void fillSnapshot(ReaderSnapshot& snapshot) const;

    // Stops the playback thread and the audio output, then deletes the file
    // playing and the files waiting; no callback or listener runs after it
    // returns. Idempotent.
    void releaseAudio();

  private:
    struct Waiting {
        std::filesystem::path file;
        Announcement announcement;
    };

    // On the playback thread.
    void startNext();
    void finish(audio::StreamHandle stream);
    // The file of an announcement that played (or was cut) goes; the
    // announcement joins the history.
    void retire(Waiting ended);
    audio::AudioOutput::DeviceOpened reopen(const std::string& name);
    // `whole`: past the duration limit (a paid message).
    bool playFile(const std::filesystem::path& file, bool whole, audio::StreamHandle& stream);
    void notify();
    static void onPlaybackEnd(audio::SyncHandle sync, audio::StreamHandle stream, std::uint32_t data,
                              void* user);

    audio::AudioOutput& audio_;
    Clock clock_;
    std::atomic<bool> audioReady_{false};
    std::atomic<bool> released_{false};
    std::atomic<bool> paused_{false};
    std::atomic<double> durationLimit_{5.0};
    std::atomic<int> volume_{100};

    StateListener stateListener_;
    Listener fileTaken_;
    std::function<bool(const Announcement&)> stale_;

    mutable std::mutex lock_;
    std::deque<Waiting> waiting_;
    audio::StreamHandle currentStream_ = 0;  // touched on the playback thread; read under lock_
    std::optional<Waiting> current_;
    std::deque<Announcement> recent_;  // newest first
    ReaderState lastNotified_;         // playback thread only

    boost::asio::io_context loop_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_{loop_.get_executor()};
    std::thread thread_;
};

}  // namespace speech
