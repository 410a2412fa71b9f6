// Playback through the real audio output under SDL's disk driver: what was
// played lands in a capture file (44.1 kHz, 16-bit stereo) that the tests
// measure.
#include "speech/playback.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "audio_analysis.h"
#include "sdk/audio/sdl_audio_output.h"
#include "sys/sys.h"
#include "temp_dir.h"
#include "wait.h"

// SDL keeps a few bytes of its device list each time a device is reopened
// (88 bytes a reopen under the disk driver); not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libSDL2\n";
}

namespace {

using namespace std::chrono_literals;
constexpr int kBlock = 44100 / 100;  // 10 ms

class PlaybackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", capturePath.c_str(), 1);
        playback.emplace(audio);
        ASSERT_TRUE(playback->audioReady());
    }

    std::string tone(const std::string& name, double seconds, double amplitude = 12000) {
        std::string path = dir.file(name);
        testing_support::writeToneWav(path, seconds, amplitude);
        return path;
    }

    // Enqueues the files and waits until all are played and gone; the
    // deadline is generous so a loaded machine only makes it slower.
    bool playAll(const std::vector<std::string>& paths) {
        for (const auto& path : paths) {
            playback->enqueue(path);
        }
        return testing_support::waitUntil(
            [&] {
                return std::none_of(paths.begin(), paths.end(), sys::fileExists) && !playback->playing() &&
                       playback->waiting() == 0;
            },
            30s);
    }

    // Stops playback and returns the RMS of each 10 ms block of the capture
    // (both channels carry the same samples).
    std::vector<double> capturedBlocks() {
        playback->releaseAudio();
        auto bytes = testing_support::readBytes(capturePath);
        const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
        std::vector<double> blocks;
        for (std::size_t at = 0; at + 2 * kBlock <= bytes.size() / 2; at += 2 * kBlock) {
            blocks.push_back(testing_support::rms(samples + at, 2 * kBlock));
        }
        return blocks;
    }

    // Indexes of the blocks whose RMS is within `tolerance` of a tone's.
    static std::vector<std::size_t> blocksAt(const std::vector<double>& blocks, double amplitude,
                                             double tolerance = 0.05) {
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (std::abs(blocks[i] * std::sqrt(2.0) - amplitude) < tolerance * amplitude) {
                found.push_back(i);
            }
        }
        return found;
    }
    static double secondsAt(const std::vector<double>& blocks, double amplitude, double tolerance = 0.05) {
        return static_cast<double>(blocksAt(blocks, amplitude, tolerance).size()) / 100;
    }

    testing_support::TempDir dir;
    std::string capturePath = dir.file("capture.raw");
    audio::SdlAudioOutput audio;
    std::optional<speech::Playback> playback;
};

TEST_F(PlaybackTest, FilesPlayInOrderOneAtATimeAndAreDeleted) {
    // Three 0.2 s tones told apart by loudness; two playing at once would add up
    // and leave less than 0.2 s at each file's own level. A block where a tone
    // starts after a pause can pass for another level, so the order is taken
    // from each level's middle block, and the counts allow a few such blocks:
    // where the pauses fall depends on the machine's load. A missing and a
    // broken file in between are skipped (and the broken one removed).
    std::string garbage = dir.file("garbage.wav");
    std::ofstream(garbage) << "not a wav file";
    const std::string a = tone("a.wav", 0.2, 3000);
    playback->enqueue(dir.file("missing.wav"));
    ASSERT_TRUE(playAll({a, garbage, tone("b.wav", 0.2, 6000), tone("c.wav", 0.2, 9000)}));
    auto blocks = capturedBlocks();
    std::vector<std::size_t> middles;
    for (double amplitude : {3000, 6000, 9000}) {
        auto at = blocksAt(blocks, amplitude);
        EXPECT_NEAR(static_cast<double>(at.size()) / 100, 0.2, 0.03) << amplitude;
        middles.push_back(at.empty() ? 0 : at[at.size() / 2]);
    }
    EXPECT_TRUE(std::is_sorted(middles.begin(), middles.end()) && middles[0] < middles[2]);
}

TEST_F(PlaybackTest, OnlyFilesLongerThanTheLimitAreCutButPaidOnesNever) {
    struct Case {
        double seconds, played;
        SpeechKind kind;
    };
    const Case cases[] = {{0.4, 0.2, SpeechKind::Chat},
                          {0.1, 0.1, SpeechKind::Chat},
                          {0.2, 0.2, SpeechKind::Gift},
                          {0.3, 0.3, SpeechKind::PaidChat}};
    playback->setDurationLimit(0.2);
    std::vector<std::string> files;
    for (const Case& c : cases) {
        files.push_back(tone(std::to_string(files.size()) + ".wav", c.seconds, 3000.0 * (files.size() + 1)));
        Announcement announcement;
        announcement.item.kind = c.kind;
        playback->enqueue(files.back(), announcement);
    }
    // Each file is deleted once played: between two files the player may show
    // nothing playing and nothing waiting for a moment.
    ASSERT_TRUE(playAll({}) &&
                testing_support::waitUntil(
                    [&] { return std::none_of(files.begin(), files.end(), sys::fileExists); }, 30s));
    auto blocks = capturedBlocks();
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_NEAR(secondsAt(blocks, 3000.0 * static_cast<double>(i + 1)), cases[i].played, 0.04)
            << cases[i].seconds;
    }
}

}  // namespace

// The disk driver lists one device; any other name stands for one that was
// unplugged since the host chose it: the default plays and the caller learns it.
TEST_F(PlaybackTest, SwitchingCutsThePlayingFileAndTheWaitingOnesPlayOnTheNewDevice) {
    const std::string cut = tone("cut.wav", 5, 3000);
    const std::string next = tone("next.wav", 0.3, 9000);
    playback->enqueue(cut);
    playback->enqueue(next);
    ASSERT_TRUE(testing_support::waitUntil([&] { return playback->playing(); }));
    EXPECT_EQ(playback->selectDevice("USB 耳机 (已拔出)"),
              audio::AudioOutput::DeviceOpened::FellBackToDefault);
    EXPECT_TRUE(playback->audioReady());
    EXPECT_FALSE(sys::fileExists(cut));
    ASSERT_TRUE(
        testing_support::waitUntil([&] { return !sys::fileExists(next) && !playback->playing(); }, 30s));
    ReaderSnapshot reader;
    playback->fillSnapshot(reader);
    EXPECT_EQ(reader.recent.size(), 2u);  // the cut one counts as read
    const auto blocks = capturedBlocks();
    EXPECT_NEAR(secondsAt(blocks, 9000), 0.3, 0.05);
    EXPECT_LT(secondsAt(blocks, 3000), 0.05);  // nothing of the cut file after the switch
}
