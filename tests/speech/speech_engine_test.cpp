// The engine as the dialog sees it: a scripted SDK, the real audio output
// under SDL's dummy driver, and a clock the test moves.
#include "speech/speech_engine.h"

#include <gtest/gtest.h>

#include <boost/asio/executor_work_guard.hpp>
#include <filesystem>
#include <thread>

#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
#include "speech/synthesis.h"
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
        audio.setFirstSampleHook([this](audio::StreamHandle) { ++started; });
        engine = std::make_unique<SpeechEngine>(
            loop, sdk, audio, [this] { return nowMs.load() / 1000; }, wavesDir);
        engine->setSpeakObserver([this](const std::string& text) {
            std::lock_guard guard(spokenLock);
            spoken.push_back(text);
        });
        loopThread = std::thread([this] { loop.run(); });
    }

    void TearDown() override {
        stopLoop();
        engine.reset();
    }

    void stopLoop() {
        if (loopThread.joinable()) {
            loop.stop();
            loopThread.join();
        }
    }

    std::vector<std::string> spokenTexts() {
        std::lock_guard guard(spokenLock);
        return spoken;
    }

    bool wavesDirEmpty() { return std::filesystem::is_empty(wavesDir); }

    testing_support::TempDir dir;
    std::string wavesDir = dir.file("waves");  // the engine creates it
    testing_support::FakeSdk sdk;
    std::atomic<std::int64_t> nowMs{1'700'000'000'000};
    std::atomic<int> started{0};
    boost::asio::io_context loop;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work{loop.get_executor()};
    audio::SdlAudioOutput audio;
    std::unique_ptr<SpeechEngine> engine;
    std::thread loopThread;
    std::mutex spokenLock;
    std::vector<std::string> spoken;
};

TEST_F(EngineTest, TextsAreSpokenInOrderPlayedAndDeleted) {
    SpeechSettings settings;
    settings.minLength = 2;
    settings.maxLength = 60;
    settings.voiceIndex = 2;
    settings.speed = 70;
    engine->applySettings(settings);
    ASSERT_EQ(engine->loginSdk(), 0);
    EXPECT_TRUE(engine->sdkLoggedIn());
    EXPECT_TRUE(engine->audioReady());
    EXPECT_EQ(sdk.loginParams(), "appid = 7c3e9a21, work_dir = .");
    EXPECT_EQ(engine->minLength(), 2);
    EXPECT_EQ(engine->maxLength(), 60);

    // The clock stands still: all three files are written in the same second,
    // two of them waiting together for the timer's first expiry, so their
    // names must differ.
    engine->pushText("one", false);
    engine->pushText("two", false);
    engine->pushText("three", false);
    ASSERT_TRUE(waitUntil([&] { return started == 3 && wavesDirEmpty(); }, 5s));
    EXPECT_EQ(spokenTexts(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(sdk.texts(), spokenTexts());
    for (const auto& params : sdk.beginParams()) {
        EXPECT_EQ(params, speech::buildSessionParams(2, 70));
    }
}

TEST_F(EngineTest, FailedSynthesesLeaveNoFiles) {
    ASSERT_EQ(engine->loginSdk(), 0);
    sdk.change([](auto& s) { s.beginError = 304; });
    engine->pushText("lost", false);
    ASSERT_TRUE(waitUntil([&] { return sdk.beginParams().size() == 1; }));
    sdk.change([](auto& s) {
        s.beginError = 0;
        s.steps = {{testing_support::FakeSdk::tone(10), tts::kSynthContinue, 0},
                   {{}, tts::kSynthContinue, 308}};
    });
    engine->pushText("broken", false);
    ASSERT_TRUE(waitUntil([&] { return sdk.endHints().size() == 1; }));
    EXPECT_EQ(spokenTexts(), (std::vector<std::string>{"lost", "broken"}));
    EXPECT_TRUE(wavesDirEmpty());
    EXPECT_EQ(started, 0);
}

TEST_F(EngineTest, GiftsAreThankedAfterThreeWholeQuietSeconds) {
    ASSERT_EQ(engine->loginSdk(), 0);
    nowMs = 1'700'000'010'000;
    GiftEvent flowers(util::utf8ToLocal("A"), util::utf8ToLocal("鲜花"), 1);
    engine->addGift(flowers);
    nowMs = 1'700'000'011'000;
    flowers.count = 2;
    engine->addGift(flowers);

    // 2.9 s after the last gift, but only 2 whole seconds. The worker flushes
    // after taking "first", so a thank-you would be spoken before "second".
    nowMs = 1'700'000'013'900;
    engine->pushText("first", false);
    engine->pushText("second", false);
    ASSERT_TRUE(waitUntil([&] { return spokenTexts().size() == 2; }));

    nowMs = 1'700'000'014'000;
    ASSERT_TRUE(waitUntil([&] { return spokenTexts().size() == 3; }));
    EXPECT_EQ(spokenTexts(),
              (std::vector<std::string>{"first", "second", util::utf8ToLocal("感谢A赠送的3个鲜花")}));
}

TEST_F(EngineTest, ShutdownWaitsOnlyForTheSynthesisUnderWay) {
    ASSERT_EQ(engine->loginSdk(), 0);
    sdk.steps = {{{}, tts::kSynthContinue, 0},
                 {{}, tts::kSynthContinue, 0},
                 {testing_support::FakeSdk::tone(10), tts::kSynthComplete, 0}};
    for (int i = 0; i < 50; ++i) {
        engine->pushText("text " + std::to_string(i), false);
    }
    ASSERT_TRUE(waitUntil([&] { return !spokenTexts().empty(); }));
    stopLoop();
    auto before = std::chrono::steady_clock::now();
    engine.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_LT(spokenTexts().size(), 50u);
    EXPECT_EQ(sdk.logouts(), 1);
}

// An output whose streams play for ever: the first file never ends.
struct EndlessOutput : audio::AudioOutput {
    std::atomic<audio::StreamHandle> created{0};

    bool init(int, std::uint32_t, std::uint32_t) override { return true; }
    bool release() override { return true; }
    audio::StreamHandle streamCreateFile(const std::string&) override { return ++created; }
    std::uint64_t channelGetLength(audio::StreamHandle, std::uint32_t) override { return 32000; }
    double channelBytesToSeconds(audio::StreamHandle, std::uint64_t bytes) override {
        return bytes / 32000.0;
    }
    audio::SyncHandle channelSetSync(audio::StreamHandle, std::uint32_t, std::uint64_t, audio::SyncCallback,
                                     void*) override {
        return 1;
    }
    bool channelPlay(audio::StreamHandle, bool) override { return true; }
    bool channelSetVolume(audio::StreamHandle, float) override { return true; }
    bool streamFree(audio::StreamHandle) override { return true; }
};

TEST(EngineBacklog, SynthesisRunsOnlyTwoFilesAheadOfPlayback) {
    testing_support::TempDir dir;
    testing_support::FakeSdk sdk;
    EndlessOutput output;
    boost::asio::io_context loop;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work{loop.get_executor()};
    SpeechEngine engine(
        loop, sdk, output, [] { return std::int64_t{1'700'000'000}; }, dir.file("waves"));
    std::thread loopThread([&] { loop.run(); });
    ASSERT_EQ(engine.loginSdk(), 0);
    for (int i = 0; i < 10; ++i) {
        engine.pushText("text " + std::to_string(i), false);
    }
    // One file plays, two wait; the rest stay texts in the queue.
    EXPECT_TRUE(waitUntil([&] { return output.created == 1 && sdk.texts().size() == 3; }, 5s));
    EXPECT_FALSE(waitUntil([&] { return sdk.texts().size() > 3; }, 500ms));
    EXPECT_EQ(engine.queuedTexts(), 7u);
    loop.stop();
    loopThread.join();
}

}  // namespace
