#include <gtest/gtest.h>

#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"

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

}  // namespace
