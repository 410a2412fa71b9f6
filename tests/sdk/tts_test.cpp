#include <gtest/gtest.h>

#include "sdk/tts/espeak_sdk.h"

namespace {

TEST(EspeakSdk, FailsCleanlyOutOfOrder) {
    tts::EspeakSdk sdk;
    int error = 0;
    EXPECT_EQ(sdk.sessionBegin("voice_name =xiaoyan", &error), nullptr);
    EXPECT_EQ(error, tts::kSdkNotLoggedIn);
    EXPECT_NE(sdk.login(nullptr, nullptr, "appid = 7C3E9A21, work_dir = ."), 0);  // upper-case digits
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);
    tts::SessionHandle session = sdk.sessionBegin("voice_name =xiaoyan", &error);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(sdk.sessionBegin("voice_name =xiaoyan, speed = 101", &error), nullptr);
    EXPECT_EQ(error, tts::kSdkInvalidValue);
    unsigned length = 1;
    int status = 0;
    EXPECT_EQ(sdk.audioGet(session, &length, &status, &error), nullptr);  // no text yet
    EXPECT_EQ(error, tts::kSdkNoText);
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), 0);
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), tts::kSdkInvalidHandle);
    EXPECT_EQ(sdk.textPut(session, "a", 1, nullptr), tts::kSdkInvalidHandle);
}

}  // namespace
