// The engine as the dialog sees it: a scripted SDK, the real audio output
// under SDL's dummy driver, and a clock the test moves.
#include "speech/speech_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "../platforms/golden.h"
#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
#include "speech/wav_names.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;
using testing_support::waitUntil;

// Closing deletes the file playing and those waiting.
TEST(EngineBacklog, SynthesisRunsOnlyTwoFilesAheadOfPlaybackAndClosingLeavesNone) {
    testing_support::TempDir dir;
    testing_support::FakeSdk sdk;
    testing_support::EndlessOutput output;
    {
        SpeechEngine engine(
            sdk, output, [] { return std::int64_t{1'700'000'000}; }, dir.file("waves"));
        ASSERT_EQ(engine.loginSdk(), 0);
        for (int i = 0; i < 10; ++i) {
            engine.pushText("text " + std::to_string(i), false);
        }
        // One file plays, two wait; the rest stay texts in the queue.
        auto synthesised = [&] { return sdk.with([](auto& s) { return s.texts.size(); }); };
        EXPECT_TRUE(waitUntil([&] { return output.created == 1 && synthesised() == 3; }, 5s));
        EXPECT_FALSE(waitUntil([&] { return synthesised() > 3; }, 500ms));
        EXPECT_EQ(engine.queuedTexts(), 7u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("waves")));
}

// The chat arrives on the network thread, which then blocks (a page fetch
// that never answers): every announcement that waits still plays meanwhile,
// in order, and its file goes. The clock stands still: all files are written
// in the same second, so their names must differ. The folder's name is one
// GBK cannot hold.
TEST(EngineThreads, AStalledNetworkThreadHoldsNothingUp) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing_support::TempDir dir;
    std::filesystem::path waves = std::filesystem::path(dir.path()) / "音 ĉ \xF0\x9D\x84\x9E" / "waves";
    std::filesystem::create_directories(waves.parent_path());
    testing_support::FakeSdk sdk;
    audio::SdlAudioOutput audio;
    std::atomic<int> started{0};
    audio.setFirstSampleHook([&](audio::StreamHandle) { ++started; });
    SpeechEngine engine(
        sdk, audio, [] { return std::int64_t{1'700'000'010}; }, waves);
    ASSERT_EQ(engine.loginSdk(), 0);

    std::promise<void> release;
    std::thread network([&, released = release.get_future()] {
        for (const char* text : {"one", "two", "three", "four"}) {
            engine.pushText(text, false);
        }
        released.wait();  // the stall
    });
    const bool allPlayed = waitUntil([&] { return started == 4 && std::filesystem::is_empty(waves); }, 10s);
    release.set_value();
    network.join();
    ASSERT_TRUE(allPlayed);
    EXPECT_EQ(sdk.with([](auto& s) { return s.texts; }),
              (std::vector<std::string>{"one", "two", "three", "four"}));
}

// Only names the engine itself could have made go at the start.
TEST(EnginePaths, FilesLeftByAKilledRunAreRemovedAtStart) {
    testing_support::TempDir dir;
    std::filesystem::path waves = dir.file("waves");
    std::filesystem::create_directories(waves / "20260101120000-77.wav");  // a folder, not a file
    const auto files = testing_support::goldenCases("speech/wav_names.txt");
    ASSERT_EQ(files.size(), 10u);
    for (const auto& [name, stale] : files) {
        std::ofstream(waves / name) << "x";
        EXPECT_EQ(speech::isSpeechFileName(name), stale == "stale") << name;
    }
    testing_support::FakeSdk sdk;
    testing_support::EndlessOutput output;
    {
        SpeechEngine engine(
            sdk, output, [] { return std::int64_t{1'700'000'000}; }, waves);
    }
    for (const auto& [name, stale] : files) {
        EXPECT_NE(std::filesystem::exists(waves / name), stale == "stale") << name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(waves / "20260101120000-77.wav"));
}

}  // namespace
