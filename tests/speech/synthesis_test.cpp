#include "speech/synthesis.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio_analysis.h"
#include "fake_sdk.h"
#include "sys/sys.h"
#include "temp_dir.h"
#include "wav_builder.h"

using testing_support::FakeSdk;

namespace {

using testing_support::le32;

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
        // The whole header: 16 kHz mono 16-bit, byte rate and block align included.
        const auto data = static_cast<std::uint32_t>(c.dataBytes);
        const std::string header = "RIFF" + le32(36 + data) + "WAVEfmt " + le32(16) +
                                   std::string("\1\0\1\0", 4) + le32(16000) + le32(32000) +
                                   std::string("\2\0\x10\0", 4) + "data" + le32(data);
        auto bytes = testing_support::readBytes(dir.file("out.wav"));
        EXPECT_EQ(std::string(bytes.data(), std::min<std::size_t>(bytes.size(), 44)), header);
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

// The SDK reads the voice by its name and the speed as given; an index out of
// range is the first voice.
TEST(SessionParams, EachVoiceIndexNamesItsVoice) {
    EXPECT_EQ(
        speech::buildSessionParams(14, 64),
        "voice_name =dalong,text_encoding = gb2312, sample_rate = 16000, speed = 64, volume = 100, pitch "
        "=50, rdn = 2");
    const char* const names[] = {"xiaoyan",   "xiaoyan",  "yufeng",  "jinger",   "donaldduck", "baybyxu",
                                 "nannan",    "xiaomeng", "xiaolin", "xiaoqian", "xiaorong",   "xiaokun",
                                 "xiaoqiang", "xiaomei",  "dalong",  "aisxa"};
    for (int index = -1; index <= 16; ++index) {
        const char* name = names[index < 0 || index > 15 ? 0 : index];
        EXPECT_STREQ(speech::voiceNameForIndex(index), name) << index;
        EXPECT_EQ(speech::buildSessionParams(index, 1).substr(0, 12 + std::strlen(name) + 1),
                  "voice_name =" + std::string(name) + ",")
            << index;
    }
}

}  // namespace
