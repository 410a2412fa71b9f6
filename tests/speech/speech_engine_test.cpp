// The engine as the dialog sees it: a scripted SDK, the real audio output
// under SDL's dummy driver, and a clock the test moves.
#include "speech/speech_engine.h"

#include <gtest/gtest.h>

#include <boost/asio/executor_work_guard.hpp>
#include <filesystem>
#include <thread>

#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
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
        loopThread = std::thread([this] { loop.run(); });
        ASSERT_EQ(engine->loginSdk(), 0);
    }

    void TearDown() override {
        loop.stop();
        loopThread.join();
        engine.reset();
    }

    // What went to synthesis, in order.
    std::vector<std::string> spokenTexts() {
        return sdk.with([](auto& s) { return s.texts; });
    }

    testing_support::TempDir dir;
    std::string wavesDir = dir.file("waves");  // the engine creates it
    testing_support::FakeSdk sdk;
    std::atomic<std::int64_t> nowMs{1'700'000'010'000};
    std::atomic<int> started{0};
    boost::asio::io_context loop;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work{loop.get_executor()};
    audio::SdlAudioOutput audio;
    std::unique_ptr<SpeechEngine> engine;
    std::thread loopThread;
};

TEST_F(EngineTest, TextsAreSpokenInOrderPlayedAndDeleted) {
    // The clock stands still: all three files are written in the same second,
    // two of them waiting together for the timer's first expiry, so their
    // names must differ.
    for (const char* text : {"one", "two", "three"}) {
        engine->pushText(text, false);
    }
    ASSERT_TRUE(waitUntil([&] { return started == 3 && std::filesystem::is_empty(wavesDir); }, 10s));
    EXPECT_EQ(spokenTexts(), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(EngineTest, GiftsAreThankedAfterThreeWholeQuietSeconds) {
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
    auto synthesised = [&] { return sdk.with([](auto& s) { return s.texts.size(); }); };
    EXPECT_TRUE(waitUntil([&] { return output.created == 1 && synthesised() == 3; }, 5s));
    EXPECT_FALSE(waitUntil([&] { return synthesised() > 3; }, 500ms));
    EXPECT_EQ(engine.queuedTexts(), 7u);
    loop.stop();
    loopThread.join();
}

}  // namespace
