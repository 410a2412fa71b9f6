#include "speech/synthesis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

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
        // The whole header, byte rate and block align included.
        const auto data = static_cast<std::uint32_t>(c.dataBytes);
        const std::uint32_t riff = 36 + data;
        const unsigned char header[44] = {'R',
                                          'I',
                                          'F',
                                          'F',
                                          static_cast<unsigned char>(riff),
                                          static_cast<unsigned char>(riff >> 8),
                                          static_cast<unsigned char>(riff >> 16),
                                          static_cast<unsigned char>(riff >> 24),
                                          'W',
                                          'A',
                                          'V',
                                          'E',
                                          'f',
                                          'm',
                                          't',
                                          ' ',
                                          16,
                                          0,
                                          0,
                                          0,
                                          1,
                                          0,
                                          1,
                                          0,
                                          0x80,
                                          0x3E,
                                          0,
                                          0,  // 16000 samples per second
                                          0x00,
                                          0x7D,
                                          0,
                                          0,  // 32000 bytes per second
                                          2,
                                          0,
                                          16,
                                          0,  // block align, bits per sample
                                          'd',
                                          'a',
                                          't',
                                          'a',
                                          static_cast<unsigned char>(data),
                                          static_cast<unsigned char>(data >> 8),
                                          static_cast<unsigned char>(data >> 16),
                                          static_cast<unsigned char>(data >> 24)};
        auto bytes = testing_support::readBytes(dir.file("out.wav"));
        ASSERT_GE(bytes.size(), 44u);
        EXPECT_EQ(std::memcmp(bytes.data(), header, 44), 0);
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

TEST(SessionParams, OutOfRangeVoicesFallBackToTheFirst) {
    EXPECT_EQ(speech::buildSessionParams(-1, 1), speech::buildSessionParams(0, 1));
    EXPECT_EQ(speech::buildSessionParams(16, 1), speech::buildSessionParams(0, 1));
}

TEST(SessionParams, EveryVoiceIndexGivesItsNameByteForByte) {
    const std::tuple<int, int, const char*> cases[] = {
        {0, 70,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {1, 1,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 1, volume = 100, pitch "
         "=50, rdn = 2"},
        {2, 100,
         "voice_name =yufeng,text_encoding = gb2312, sample_rate = 16000, speed = 100, volume = 100, pitch "
         "=50, rdn = 2"},
        {3, 50,
         "voice_name =jinger,text_encoding = gb2312, sample_rate = 16000, speed = 50, volume = 100, pitch "
         "=50, rdn = 2"},
        {4, 70,
         "voice_name =donaldduck,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, "
         "pitch =50, rdn = 2"},
        {5, 2,
         "voice_name =baybyxu,text_encoding = gb2312, sample_rate = 16000, speed = 2, volume = 100, pitch "
         "=50, rdn = 2"},
        {6, 99,
         "voice_name =nannan,text_encoding = gb2312, sample_rate = 16000, speed = 99, volume = 100, pitch "
         "=50, rdn = 2"},
        {7, 70,
         "voice_name =xiaomeng,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {8, 10,
         "voice_name =xiaolin,text_encoding = gb2312, sample_rate = 16000, speed = 10, volume = 100, pitch "
         "=50, rdn = 2"},
        {9, 70,
         "voice_name =xiaoqian,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {10, 70,
         "voice_name =xiaorong,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {11, 33,
         "voice_name =xiaokun,text_encoding = gb2312, sample_rate = 16000, speed = 33, volume = 100, pitch "
         "=50, rdn = 2"},
        {12, 70,
         "voice_name =xiaoqiang,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {13, 70,
         "voice_name =xiaomei,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {14, 64,
         "voice_name =dalong,text_encoding = gb2312, sample_rate = 16000, speed = 64, volume = 100, pitch "
         "=50, rdn = 2"},
        {15, 70,
         "voice_name =aisxa,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {-1, 70,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
        {16, 70,
         "voice_name =xiaoyan,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2"},
    };
    for (const auto& [voice, speed, expected] : cases) {
        EXPECT_EQ(speech::buildSessionParams(voice, speed), expected) << voice;
    }
    const char* const names[] = {"xiaoyan",   "xiaoyan",  "yufeng",  "jinger",   "donaldduck", "baybyxu",
                                 "nannan",    "xiaomeng", "xiaolin", "xiaoqian", "xiaorong",   "xiaokun",
                                 "xiaoqiang", "xiaomei",  "dalong",  "aisxa"};
    for (int index = 0; index < 16; ++index) {
        EXPECT_STREQ(speech::voiceNameForIndex(index), names[index]) << index;
    }
    EXPECT_STREQ(speech::voiceNameForIndex(-1), "xiaoyan");
    EXPECT_STREQ(speech::voiceNameForIndex(16), "xiaoyan");
}

}  // namespace
