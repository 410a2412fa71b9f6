// The engine as the dialog sees it: a scripted SDK, the real audio output
// under SDL's dummy driver, and a clock the test moves.
#include "speech/speech_engine.h"

#include <gtest/gtest.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "../platforms/golden.h"
#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
#include "speech/wav_names.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;
using testing_support::waitUntil;

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        engine = std::make_unique<SpeechEngine>(
            sdk, audio, [this] { return nowMs.load() / 1000; }, wavesDir);
        ASSERT_EQ(engine->loginSdk(), 0);
    }

    testing_support::TempDir dir;
    std::string wavesDir = dir.file("waves");  // the engine creates it
    testing_support::FakeSdk sdk;
    std::atomic<std::int64_t> nowMs{1'700'000'010'000};
    audio::SdlAudioOutput audio;
    std::unique_ptr<SpeechEngine> engine;
};

TEST(EngineBacklog, SynthesisRunsOnlyTwoFilesAheadOfPlayback) {
    testing_support::TempDir dir;
    testing_support::FakeSdk sdk;
    testing_support::EndlessOutput output;
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

// The chat arrives on the network loop, which then blocks (a page fetch that
// never answers): every announcement that waits still plays meanwhile, in
// order, and its file goes. The clock stands still: all files are written in
// the same second, so their names must differ.
TEST_F(EngineTest, AStalledNetworkLoopHoldsNothingUp) {
    std::vector<std::chrono::steady_clock::time_point> starts;
    std::mutex startsLock;
    engine->setReaderObserver([&](const ReaderState& state) {
        if (state.playing) {
            std::lock_guard guard(startsLock);
            starts.push_back(std::chrono::steady_clock::now());
        }
    });

    boost::asio::io_context network;
    auto work = boost::asio::make_work_guard(network);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    boost::asio::post(network, [&] {
        for (const char* text : {"one", "two", "three", "four"}) {
            engine->pushText(text, false);
        }
        released.wait();  // the stall
    });
    std::thread networkThread([&] { network.run(); });

    bool allPlayed = waitUntil(
        [&] {
            std::lock_guard guard(startsLock);
            return starts.size() == 4 && std::filesystem::is_empty(wavesDir);
        },
        10s);
    release.set_value();
    work.reset();
    networkThread.join();
    ASSERT_TRUE(allPlayed);
    EXPECT_EQ(sdk.with([](auto& s) { return s.texts; }),
              (std::vector<std::string>{"one", "two", "three", "four"}));
    for (std::size_t i = 1; i < starts.size(); ++i) {
        // Each file holds 100 ms of audio; what lies beyond is the gap.
        auto gap = std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]) - 100ms;
        std::printf("gap between announcements %zu and %zu: %.1f ms\n", i, i + 1, gap.count());
    }
}

// A folder whose name GBK cannot hold: the files are written, played and
// deleted there all the same.
TEST(EnginePaths, AnyFolderWorks) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing_support::TempDir dir;
    std::filesystem::path waves = std::filesystem::path(dir.path()) / "音 ĉ \xF0\x9D\x84\x9E" / "waves";
    std::filesystem::create_directories(waves.parent_path());
    testing_support::FakeSdk sdk;
    std::atomic<int> started{0};
    audio::SdlAudioOutput audio;
    audio.setFirstSampleHook([&](audio::StreamHandle) { ++started; });
    SpeechEngine engine(
        sdk, audio, [] { return std::int64_t{1'700'000'000}; }, waves);
    ASSERT_EQ(engine.loginSdk(), 0);
    engine.pushText(util::utf8ToLocal("你好"), false);
    EXPECT_TRUE(waitUntil([&] { return started == 1 && std::filesystem::is_empty(waves); }, 10s));
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
