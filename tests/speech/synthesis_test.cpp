#include "speech/synthesis.h"

#include <gtest/gtest.h>

#include "audio_analysis.h"
#include "fake_sdk.h"
#include "sys/sys.h"
#include "temp_dir.h"

using testing_support::FakeSdk;

namespace {

struct Synthesis : ::testing::Test {
    testing_support::TempDir dir;
    std::string path = dir.file("out.wav");
    FakeSdk sdk;
    int sleeps = 0;

    int run(const std::string& text = "hello") {
        return speech::synthesizeToWav(sdk, text, path, "params", [this](std::uint32_t ms) {
            EXPECT_EQ(ms, 50u);
            ++sleeps;
        });
    }
};

TEST_F(Synthesis, PiecesMakeOneFileWhoseSizesAreTheirSum) {
    sdk.steps = {{FakeSdk::tone(30), tts::kSynthContinue, 0},
                 {{}, tts::kSynthContinue, 0},
                 {FakeSdk::tone(20), tts::kSynthContinue, 0},
                 {FakeSdk::tone(10), tts::kSynthComplete, 0}};
    ASSERT_EQ(run(), 0);
    auto wav = testing_support::readWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.dataSize, 60u * 32);
    EXPECT_EQ(wav.riffSize, 36u + 60 * 32);
    EXPECT_EQ(wav.rate, 16000u);
    EXPECT_EQ(wav.channels, 1u);
    EXPECT_EQ(wav.bits, 16u);
    EXPECT_EQ(sleeps, 3);  // one per call that did not finish, empty ones included
    EXPECT_EQ(sdk.endHints(), std::vector<std::string>{"Normal"});
    EXPECT_EQ(sdk.beginParams(), std::vector<std::string>{"params"});
}

TEST_F(Synthesis, CompleteOnFirstCallWritesWithoutSleeping) {
    sdk.steps = {{FakeSdk::tone(40), tts::kSynthComplete, 0}};
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(sleeps, 0);
    EXPECT_EQ(testing_support::readWav(path).dataSize, 40u * 32);
}

TEST_F(Synthesis, EveryFailureGivesItsCodeAndLeavesNoFile) {
    struct Case {
        const char* name;
        std::function<void(FakeSdk&)> setUp;
        std::string text;
        int result;
        std::vector<std::string> hints;
    };
    const std::vector<Case> cases{
        {"empty text", [](FakeSdk&) {}, "", -1, {}},
        {"session begin", [](FakeSdk& s) { s.beginError = 304; }, "hi", 304, {}},
        {"text put", [](FakeSdk& s) { s.textPutResult = 306; }, "hi", 306, {"TextPutError"}},
        {"audio get",
         [](FakeSdk& s) {
             s.steps = {{FakeSdk::tone(10), tts::kSynthContinue, 0}, {{}, tts::kSynthContinue, 308}};
         },
         "hi",
         308,
         {"AudioGetError"}},
        {"session end", [](FakeSdk& s) { s.endResult = 303; }, "hi", 303, {"Normal"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSdk fresh;
        c.setUp(fresh);
        EXPECT_EQ(speech::synthesizeToWav(fresh, c.text, path, "p", [](std::uint32_t) {}), c.result);
        EXPECT_EQ(fresh.endHints(), c.hints);
        EXPECT_FALSE(sys::fileExists(path));
    }
}

TEST_F(Synthesis, UncreatableFileFailsBeforeAnySession) {
    path = dir.file("missing-dir/out.wav");
    EXPECT_EQ(run(), -1);
    EXPECT_TRUE(sdk.beginParams().empty());
}

TEST(SessionParams, AreBuiltByteForByte) {
    struct Case {
        int voice, speed;
        const char* expected;
    };
    const Case cases[] = {
        {2, 70,
         "voice_name =yufeng,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {1, 1,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 1, volume = 100, pitch "
         "=50, rdn = 2"},
        {-1, 100,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 100, volume = 100, pitch "
         "=50, rdn = 2"},
        {16, 70,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {15, 70,
         "voice_name =aisxa,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(speech::buildSessionParams(c.voice, c.speed), c.expected);
    }
}

}  // namespace
