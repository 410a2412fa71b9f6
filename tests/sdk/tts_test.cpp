#include <gtest/gtest.h>

#include <cmath>

#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/resampler.h"
#include "sdk/tts/sdk_params.h"
#include "util/text.h"
#include "wait.h"

namespace {

TEST(SdkParams, LoginAcceptsOnlyAWellFormedApplicationId) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"appid = 7c3e9a21, work_dir = .", true},
        {"appid=7c3e9a21", true},
        {"appid = 7C3E9A21, work_dir = .", false},  // upper case
        {"appid = 7c3e9a2, work_dir = .", false},   // 7 digits
        {"appid = 7c3e9a21x", false},
        {"work_dir = .", false},
        {"appid 7c3e9a21", false},
        {"appid = 7c3e9a21, work_dir = /no/such/dir", false},
        {"", false},
    };
    for (const auto& c : cases) {
        tts::LoginParams parsed;
        EXPECT_EQ(tts::parseLoginParams(c.text, parsed) == 0, c.accepted) << c.text;
    }
}

TEST(SdkParams, SessionParametersAreCheckedAndUnderstood) {
    struct Case {
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"voice_name =yufeng,text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, pitch "
         "=50, rdn = 2",
         tts::kSdkOk},
        {"voice_name =nobody, speed = 70", tts::kSdkUnknownVoice},
        {"voice_name =xiaoyan, speed = fast", tts::kSdkInvalidValue},
        {"voice_name =xiaoyan, speed = 101", tts::kSdkInvalidValue},
        {"voice_name =xiaoyan, sample_rate = 44100", tts::kSdkInvalidValue},
        {"voice_name =xiaoyan, text_encoding = big5", tts::kSdkUnsupportedEncoding},
        {"voice_name xiaoyan", tts::kSdkInvalidParams},
        {"voice_name =xiaoyan,, speed = 70", tts::kSdkInvalidParams},
        {" = 5", tts::kSdkInvalidParams},
    };
    for (const auto& c : cases) {
        tts::SessionParams parsed;
        EXPECT_EQ(tts::parseSessionParams(c.text, parsed), c.code) << c.text;
    }
    tts::SessionParams parsed;
    ASSERT_EQ(tts::parseSessionParams(cases[0].text, parsed), 0);
    EXPECT_EQ(parsed.voice->name, "yufeng");
    EXPECT_EQ(parsed.speed, 70);
    EXPECT_EQ(parsed.sampleRate, 16000);
    EXPECT_EQ(parsed.encoding, tts::TextEncoding::Gbk);
}

TEST(SdkParams, SpeedRaisesTheRateStrictlyWithANaturalMiddle) {
    for (int speed = 1; speed <= 100; ++speed) {
        EXPECT_LT(tts::speechRateForSpeed(speed - 1), tts::speechRateForSpeed(speed)) << speed;
    }
    EXPECT_EQ(tts::speechRateForSpeed(70), 175);  // the synthesiser's own normal rate
}

TEST(Resampler, KeepsATonesPitchLevelAndDuration) {
    constexpr int kIn = 22050, kOut = 16000;
    std::vector<std::int16_t> input(kIn);  // one second of 1 kHz
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] =
            static_cast<std::int16_t>(10000 * std::sin(2 * M_PI * 1000 * static_cast<double>(i) / kIn));
    }
    tts::Resampler resampler(kIn, kOut);
    std::vector<std::int16_t> output;
    for (std::size_t at = 0; at < input.size(); at += 1000) {  // in uneven pieces
        resampler.push(&input[at], std::min<std::size_t>(1000, input.size() - at), output);
    }
    resampler.finish(output);
    EXPECT_NEAR(static_cast<double>(output.size()), kOut, 1);
    int crossings = 0;
    double peak = 0;
    for (std::size_t i = 1000; i < 15000; ++i) {
        crossings += (output[i - 1] < 0) != (output[i] < 0);
        peak = std::max(peak, std::abs(static_cast<double>(output[i])));
    }
    EXPECT_NEAR(crossings / 2.0 / (14000.0 / kOut), 1000, 10);
    EXPECT_NEAR(peak, 10000, 200);
}

TEST(EspeakSdk, FailsCleanlyOutOfOrder) {
    tts::EspeakSdk sdk;
    int error = 0;
    EXPECT_EQ(sdk.sessionBegin("voice_name =xiaoyan", &error), nullptr);
    EXPECT_EQ(error, tts::kSdkNotLoggedIn);
    EXPECT_NE(sdk.login(nullptr, nullptr, "appid = nothex!!"), 0);
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);

    EXPECT_EQ(sdk.sessionBegin("voice_name =nobody", &error), nullptr);
    EXPECT_EQ(error, tts::kSdkUnknownVoice);

    tts::SessionHandle session = sdk.sessionBegin("voice_name =xiaoyan", &error);
    ASSERT_EQ(error, 0);
    unsigned length = 1;
    int status = 0;
    EXPECT_EQ(sdk.audioGet(session, &length, &status, &error), nullptr);
    EXPECT_EQ(error, tts::kSdkNoText);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(sdk.textPut(session, "", 0, nullptr), tts::kSdkNoText);
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), 0);
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), tts::kSdkInvalidHandle);
    EXPECT_EQ(sdk.textPut(session, "a", 1, nullptr), tts::kSdkInvalidHandle);
    EXPECT_EQ(sdk.logout(), 0);
}

TEST(EspeakSdk, DeliversAllAudioThenCompletes) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21"), 0);
    int error = 0;
    tts::SessionHandle session = sdk.sessionBegin("voice_name =xiaoyan, speed = 70", &error);
    std::string text = util::utf8ToLocal("你好,世界");
    ASSERT_EQ(sdk.textPut(session, text.data(), static_cast<unsigned>(text.size()), nullptr), 0);
    EXPECT_EQ(sdk.textPut(session, text.data(), static_cast<unsigned>(text.size()), nullptr), tts::kSdkBusy);
    std::size_t total = 0;
    int status = tts::kSynthContinue;
    ASSERT_TRUE(testing_support::waitUntil([&] {
        unsigned length = 0;
        const void* audio = sdk.audioGet(session, &length, &status, &error);
        EXPECT_EQ(error, 0);
        EXPECT_EQ(audio == nullptr, length == 0);
        total += length;
        return status == tts::kSynthComplete;
    }));
    EXPECT_GT(total, 16000u);  // well over half a second of 16-bit audio at 16 kHz
    EXPECT_EQ(total % 2, 0u);
    unsigned length = 1;
    EXPECT_EQ(sdk.audioGet(session, &length, &status, &error), nullptr);  // nothing more, still complete
    EXPECT_EQ(status, tts::kSynthComplete);
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), 0);
}

TEST(EspeakSdk, EndingASessionStopsItsSynthesis) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21"), 0);
    int error = 0;
    tts::SessionHandle session = sdk.sessionBegin("voice_name =xiaoyan, speed = 1", &error);
    std::string text = util::utf8ToLocal(std::string(200, 'a').c_str());
    ASSERT_EQ(sdk.textPut(session, text.data(), static_cast<unsigned>(text.size()), nullptr), 0);
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sdk.sessionEnd(session, "AudioGetError"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
}

}  // namespace
