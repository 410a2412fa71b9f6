// The dialog learns whether the output the host chose is the one playing: a
// device that is gone plays on the default, and the engine says so rather
// than reporting the chosen one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_sdk.h"
#include "sdk/audio/sdl_audio_output.h"
#include "speech/speech_engine.h"
#include "temp_dir.h"

TEST(OutputDevice, AGoneDeviceIsReportedAsTheDefaultStandingIn) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing_support::TempDir dir;
    testing_support::FakeSdk sdk;
    audio::SdlAudioOutput output;
    SpeechEngine engine(
        sdk, output, [] { return std::int64_t{1'700'000'000}; }, dir.file("waves"));
    const std::vector<std::string> names = engine.outputDevices();
    ASSERT_FALSE(names.empty());
    const std::pair<std::string, OutputDeviceResult> cases[] = {
        {names.front(), OutputDeviceResult::Named},
        {"USB 耳机 (已拔出)", OutputDeviceResult::FellBackToDefault},
        {"", OutputDeviceResult::Default},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(engine.selectOutputDevice(name), expected) << name;
        EXPECT_TRUE(engine.audioReady()) << name;
    }
}
