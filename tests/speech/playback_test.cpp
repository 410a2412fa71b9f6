// Playback through the real audio output under SDL's disk driver: what was
// played lands in a capture file (44.1 kHz, 16-bit stereo) that the tests
// measure.
#include "speech/playback.h"

#include <gtest/gtest.h>

#include <boost/asio/executor_work_guard.hpp>
#include <fstream>
#include <optional>
#include <thread>

#include "audio_analysis.h"
#include "sdk/audio/sdl_audio_output.h"
#include "sys/sys.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kBlock = kRate / 100;  // 10 ms

class PlaybackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", capturePath.c_str(), 1);
        playback.emplace(loop, audio);
        ASSERT_TRUE(playback->audioReady());
        playback->start();
        loopThread = std::thread([this] { loop.run(); });
    }

    void TearDown() override { stopLoop(); }

    void stopLoop() {
        if (loopThread.joinable()) {
            loop.stop();
            loopThread.join();
        }
    }

    std::string tone(const std::string& name, double seconds, double amplitude = 12000) {
        std::string path = dir.file(name);
        testing_support::writeToneWav(path, seconds, 440, amplitude);
        return path;
    }

    bool waitGone(const std::vector<std::string>& paths, std::chrono::milliseconds timeout) {
        return testing_support::waitUntil(
            [&] {
                return std::none_of(paths.begin(), paths.end(), sys::fileExists) && !playback->playing() &&
                       playback->waiting() == 0;
            },
            timeout);
    }

    // Stops playback and returns the captured left channel.
    std::vector<std::int16_t> capture() {
        stopLoop();
        playback->releaseAudio();
        auto bytes = testing_support::readBytes(capturePath);
        std::vector<std::int16_t> left(bytes.size() / 4);
        for (std::size_t i = 0; i < left.size(); ++i) {
            left[i] = static_cast<std::int16_t>(testing_support::le(&bytes[4 * i], 2));
        }
        return left;
    }

    // 10 ms blocks louder than a whisper.
    static std::vector<bool> activeBlocks(const std::vector<std::int16_t>& samples, double threshold = 1000) {
        std::vector<bool> active;
        for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
            active.push_back(testing_support::rms(&samples[at], kBlock) > threshold);
        }
        return active;
    }

    static double playedSeconds(const std::vector<std::int16_t>& samples) {
        auto active = activeBlocks(samples);
        return static_cast<double>(std::count(active.begin(), active.end(), true)) / 100.0;
    }

    testing_support::TempDir dir;
    std::string capturePath = dir.file("capture.raw");
    boost::asio::io_context loop;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work{loop.get_executor()};
    audio::SdlAudioOutput audio;
    std::optional<speech::Playback> playback;
    std::thread loopThread;
};

TEST_F(PlaybackTest, FilesPlayInOrderOneAtATimeAndAreDeleted) {
    // Three tones told apart by loudness; two playing at once would add up.
    std::vector<std::string> files{tone("a.wav", 0.4, 3000), tone("b.wav", 0.4, 6000),
                                   tone("c.wav", 0.4, 9000)};
    for (const auto& file : files) {
        playback->enqueue(file);
    }
    ASSERT_TRUE(waitGone(files, 6s));
    auto samples = capture();

    std::vector<long> order, blocks(3);
    for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
        double loudness = testing_support::rms(&samples[at], kBlock) / (3000 / std::sqrt(2.0));
        long level = std::lround(loudness);
        if (level >= 1 && level <= 3 &&
            std::abs(loudness - static_cast<double>(level)) < 0.1) {  // not a seam
            ++blocks[static_cast<std::size_t>(level - 1)];
            if (order.empty() || order.back() != level) {
                order.push_back(level);
            }
        }
    }
    EXPECT_EQ(order, (std::vector<long>{1, 2, 3}));
    for (long count : blocks) {
        EXPECT_NEAR(count, 40, 2);
    }
    EXPECT_LE(*std::max_element(samples.begin(), samples.end()), 9000 * 1.05);
}

struct LimitCase {
    double fileSeconds;
    double limit;
    double expectedSeconds;
};

class DurationLimit : public PlaybackTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(DurationLimit, CutsOnlyFilesLongerThanTheLimit) {
    const LimitCase& c = GetParam();
    playback->setDurationLimit(c.limit);
    std::string file = tone("long.wav", c.fileSeconds);
    playback->enqueue(file);
    ASSERT_TRUE(waitGone({file}, std::chrono::milliseconds(static_cast<int>(c.fileSeconds * 1000) + 3000)));
    EXPECT_NEAR(playedSeconds(capture()), c.expectedSeconds, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Playback, DurationLimit,
                         ::testing::Values(LimitCase{8, 5, 5}, LimitCase{3, 5, 3}, LimitCase{5, 5, 5}),
                         [](const auto& info) {
                             return "File" + std::to_string(static_cast<int>(info.param.fileSeconds)) +
                                    "sLimit" + std::to_string(static_cast<int>(info.param.limit)) + "s";
                         });

TEST_F(PlaybackTest, UnplayableFilesAreSkippedAndRemoved) {
    std::string garbage = dir.file("garbage.wav");
    {
        std::ofstream out(garbage);
        out << "not a wav file";
    }
    std::string good = tone("good.wav", 0.3);
    playback->enqueue(dir.file("missing.wav"));
    playback->enqueue(garbage);
    playback->enqueue(good);
    ASSERT_TRUE(waitGone({garbage, good}, 5s));
    EXPECT_NEAR(playedSeconds(capture()), 0.3, 0.05);
}

TEST_F(PlaybackTest, VolumeIsALinearGain) {
    std::string loud = tone("loud.wav", 0.4), quiet = tone("quiet.wav", 0.4);
    playback->enqueue(loud);
    ASSERT_TRUE(waitGone({loud}, 5s));
    playback->setVolume(50);
    playback->enqueue(quiet);
    ASSERT_TRUE(waitGone({quiet}, 5s));
    auto samples = capture();

    // 200 ms well inside the first sound, and well inside the second.
    auto active = activeBlocks(samples, 500);
    auto first = static_cast<std::size_t>(std::find(active.begin(), active.end(), true) - active.begin());
    auto last = static_cast<std::size_t>(active.rend() - std::find(active.rbegin(), active.rend(), true)) - 1;
    ASSERT_GT(last, first + 70);
    std::vector<double> levels{testing_support::rms(&samples[(first + 10) * kBlock], 20 * kBlock),
                               testing_support::rms(&samples[(last - 30) * kBlock], 20 * kBlock)};
    EXPECT_NEAR(levels[1] / levels[0], 0.5, 0.02);
}

}  // namespace

namespace {

// An output whose streams open but never start.
struct RefusingOutput : audio::AudioOutput {
    std::atomic<audio::StreamHandle> created{0};
    std::atomic<int> freed{0};

    bool init(int, std::uint32_t, std::uint32_t) override { return true; }
    bool release() override { return true; }
    audio::StreamHandle streamCreateFile(const std::string& path) override {
        return sys::fileExists(path) ? ++created : 0;
    }
    std::uint64_t channelGetLength(audio::StreamHandle, std::uint32_t) override { return 32000; }
    double channelBytesToSeconds(audio::StreamHandle, std::uint64_t bytes) override {
        return bytes / 32000.0;
    }
    audio::SyncHandle channelSetSync(audio::StreamHandle, std::uint32_t, std::uint64_t, audio::SyncCallback,
                                     void*) override {
        return 1;
    }
    bool channelPlay(audio::StreamHandle, bool) override { return false; }
    bool channelSetVolume(audio::StreamHandle, float) override { return true; }
    bool streamFree(audio::StreamHandle) override {
        ++freed;
        return true;
    }
};

TEST(PlaybackFailure, AStreamThatWillNotStartIsFreedSoTheNextFileIsTried) {
    testing_support::TempDir dir;
    std::vector<std::string> files{dir.file("a.wav"), dir.file("b.wav")};
    for (const auto& file : files) {
        testing_support::writeToneWav(file, 0.1, 440);
    }
    boost::asio::io_context loop;
    RefusingOutput output;
    speech::Playback playback(loop, output);
    for (const auto& file : files) {
        playback.enqueue(file);
    }
    playback.start();
    std::thread runner([&] { loop.run_for(std::chrono::seconds(5)); });
    EXPECT_TRUE(testing_support::waitUntil([&] { return output.freed == 2; }));
    loop.stop();
    runner.join();
    EXPECT_EQ(output.created, 2u);
    EXPECT_FALSE(playback.playing());
    EXPECT_FALSE(sys::fileExists(files[0]) || sys::fileExists(files[1]));
}

// With nothing to play the loop is left with nothing to run, so an idle
// engine costs no CPU; a file enqueued then wakes it and plays at once.
TEST(PlaybackIdle, TheTimerStopsWhenIdleAndAnEnqueueWakesIt) {
    testing_support::TempDir dir;
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", dir.file("capture.raw").c_str(), 1);
    boost::asio::io_context loop;  // no work guard: run_for returns early once nothing is pending
    audio::SdlAudioOutput output;
    speech::Playback playback(loop, output);
    ASSERT_TRUE(playback.audioReady());
    playback.start();
    loop.run_for(std::chrono::seconds(5));
    ASSERT_TRUE(loop.stopped()) << "the timer kept running with nothing to play";

    std::vector<std::string> files{dir.file("a.wav"), dir.file("b.wav")};
    for (const auto& file : files) {
        testing_support::writeToneWav(file, 0.2, 440);
    }
    loop.restart();
    auto woken = std::chrono::steady_clock::now();
    playback.enqueue(files[0]);
    playback.enqueue(files[1]);
    loop.run_for(std::chrono::seconds(5));
    EXPECT_TRUE(loop.stopped()) << "the timer did not stop after the files played";
    EXPECT_LT(std::chrono::steady_clock::now() - woken, std::chrono::seconds(2));
    EXPECT_FALSE(sys::fileExists(files[0]) || sys::fileExists(files[1]));
    EXPECT_FALSE(playback.playing());
}

}  // namespace
