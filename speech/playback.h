// Plays the finished WAV files one at a time: a timer on the event loop starts
// the next file whenever nothing plays, and the audio library's callback ends
// each playback (at the file's end, or at the duration limit) and deletes the
// file. The timer only runs while a file plays or waits; enqueue restarts it.
//
// Threads: construct, start, releaseAudio and destroy on the owner's thread
// while the event loop is not running handlers of this object (before it runs,
// or after it stopped). enqueue and the setters from any thread. The timer
// handler runs on the event loop's thread, the end of playback on the audio
// library's thread.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "sdk/audio/audio_output.h"

namespace speech {

class Playback {
  public:
    // Initialises `audio` on the system's default output at 44.1 kHz.
    Playback(boost::asio::io_context& eventLoop, audio::AudioOutput& audio);
    ~Playback();

    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Arms the timer for its first expiry, one second from now.
    void start();

    // Queues a WAV file (GBK path) behind the others.
    void enqueue(std::string path);

    // Longest playback of one file in seconds; 0 or less: no limit.
    void setDurationLimit(double seconds) { durationLimit_ = seconds; }
    // 0..100, a linear gain applied to each file as it starts.
    void setVolume(int volume) { volume_ = volume; }

    bool audioReady() const { return audioReady_; }
    bool playing() const { return currentStream_ != 0; }
    std::size_t waiting() const;

    // Stops playback and releases the audio output; no callback runs after it
    // returns. Files not played stay on disk. Idempotent.
    void releaseAudio();

  private:
    struct Context;

    void arm(std::chrono::microseconds delay);
    void onPlaybackTimer(const boost::system::error_code& error);
    bool playFile(std::string path);
    static void onPlaybackEnd(audio::SyncHandle sync, audio::StreamHandle stream, std::uint32_t data,
                              void* user);

    audio::AudioOutput& audio_;
    bool audioReady_ = false;
    std::atomic<bool> released_{false};
    std::atomic<double> durationLimit_{5.0};
    std::atomic<int> volume_{100};
    std::atomic<audio::StreamHandle> currentStream_{0};
    std::atomic<Context*> liveContext_{nullptr};  // of the stream playing now

    mutable std::mutex playlistLock_;
    std::deque<std::string> wavFiles_;
    bool timerStopped_ = false;  // guarded by playlistLock_: idle, no expiry pending

    boost::asio::io_context& eventLoop_;
    boost::asio::steady_timer timer_;
    std::shared_ptr<void> lifetime_ = std::make_shared<int>(0);
};

}  // namespace speech
