#include "speech/synthesis.h"

#include <gtest/gtest.h>

#include "audio_analysis.h"
#include "fake_sdk.h"
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
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        FakeSdk sdk;
        sdk.beginError = c.beginError;
        sdk.textPutResult = c.textPutResult;
        sdk.endResult = c.endResult;
        if (c.audioError != 0) {  // fails after a first piece was written
            sdk.steps = {{FakeSdk::pcm(10), tts::kSynthContinue, 0}, {{}, tts::kSynthContinue, c.audioError}};
        }
        EXPECT_EQ(speech::synthesizeToWav(sdk, c.text, dir.file(c.file), "p", [](std::uint32_t) {}),
                  c.result);
        EXPECT_EQ(sdk.endHints, c.hints) << c.result;
        EXPECT_FALSE(sys::fileExists(dir.file(c.file))) << c.result;
    }
}

TEST(SessionParams, OutOfRangeVoicesFallBackToTheFirst) {
    EXPECT_EQ(speech::buildSessionParams(-1, 1), speech::buildSessionParams(0, 1));
    EXPECT_EQ(speech::buildSessionParams(16, 1), speech::buildSessionParams(0, 1));
}

}  // namespace
