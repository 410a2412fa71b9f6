#include "speech/synthesis.h"

#include <gtest/gtest.h>

#include "../platforms/golden.h"
#include "audio_analysis.h"
#include "fake_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "sys/sys.h"
#include "temp_dir.h"

using testing_support::FakeSdk;

namespace {

TEST(Synthesis, PiecesMakeOneFileWhoseSizesAreTheirSum) {
    struct Case {
        std::vector<FakeSdk::Step> steps;
        std::size_t dataBytes;  // both size fields follow from it
        int sleeps;             // one per call that did not finish, empty ones included
    };
    const Case cases[] = {
        {{{FakeSdk::pcm(30), tts::kSynthContinue, 0},
          {{}, tts::kSynthContinue, 0},
          {FakeSdk::pcm(20), tts::kSynthContinue, 0},
          {FakeSdk::pcm(10), tts::kSynthComplete, 0}},
         60 * 32,
         3},
        {{{FakeSdk::pcm(40), tts::kSynthComplete, 0}}, 40 * 32, 0},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        FakeSdk sdk;
        sdk.steps = c.steps;
        int sleeps = 0;
        ASSERT_EQ(speech::synthesizeToWav(sdk, "hello", dir.file("out.wav"), "params",
                                          [&](std::uint32_t ms) {
                                              EXPECT_EQ(ms, 50u);
                                              ++sleeps;
                                          }),
                  0);
        // Valid: the whole header says 16 kHz mono 16-bit, byte rate and block align included.
        auto wav = testing_support::readWav(dir.file("out.wav"));
        EXPECT_TRUE(wav.valid);
        EXPECT_EQ(wav.samples.size() * 2, c.dataBytes);
        EXPECT_EQ(sleeps, c.sleeps);
        EXPECT_EQ(sdk.endHints, std::vector<std::string>{"Normal"});
    }
}

TEST(Synthesis, EveryFailureGivesItsCodeAndLeavesNoFile) {
    struct Case {
        std::string text, file;
        int beginError, textPutResult, audioError, endResult;
        int result;
        std::vector<std::string> hints;
    };
    const Case cases[] = {
        {"", "out.wav", 0, 0, 0, 0, -1, {}},
        {"hi", "missing-dir/out.wav", 0, 0, 0, 0, -1, {}},
        {"hi", "out.wav", 304, 0, 0, 0, 304, {}},
        {"hi", "out.wav", 0, 306, 0, 0, 306, {"TextPutError"}},
        {"hi", "out.wav", 0, 0, 308, 0, 308, {"AudioGetError"}},
        {"hi", "out.wav", 0, 0, 0, 303, 303, {"Normal"}},
        {"~~~", "out.wav", 0, 0, -1, 0, speech::kNothingSpoken, {"Normal"}},  // no audio at all
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        FakeSdk sdk;
        sdk.beginError = c.beginError;
        sdk.textPutResult = c.textPutResult;
        sdk.endResult = c.endResult;
        if (c.audioError > 0) {  // fails after a first piece was written
            sdk.steps = {{FakeSdk::pcm(10), tts::kSynthContinue, 0}, {{}, tts::kSynthContinue, c.audioError}};
        } else if (c.audioError < 0) {
            sdk.steps = {{{}, tts::kSynthComplete, 0}};
        }
        EXPECT_EQ(speech::synthesizeToWav(sdk, c.text, dir.file(c.file), "p", [](std::uint32_t) {}),
                  c.result);
        EXPECT_EQ(sdk.endHints, c.hints) << c.result;
        EXPECT_FALSE(sys::fileExists(dir.file(c.file))) << c.result;
    }
}

// The SDK reads the voice by its name and the speed as given, and knows
// every voice an index the settings can hold names.
TEST(SessionParams, EachVoiceIndexNamesAVoiceTheSdkKnows) {
    EXPECT_EQ(
        speech::buildSessionParams(14, 64),
        "voice_name =dalong,text_encoding = gb2312, sample_rate = 16000, speed = 64, volume = 100, pitch "
        "=50, rdn = 2");
    for (const auto& c : testing_support::goldenCases("speech/voice_names.txt")) {
        const int index = std::stoi(c.in);
        EXPECT_EQ(speech::voiceNameForIndex(index), c.out) << index;
        tts::SessionParams parsed;
        ASSERT_EQ(tts::parseSessionParams(speech::buildSessionParams(index, 70), parsed), 0) << index;
        EXPECT_EQ(parsed.voice->name, c.out) << index;
    }
}

}  // namespace
