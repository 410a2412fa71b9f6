// The real synthesiser behind the SDK seam: every voice speaks, and the voices
// and speeds sound as their names promise.
#include <gtest/gtest.h>

#include "audio_analysis.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using testing_support::WavData;

class Voices : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(sdk().login(nullptr, nullptr, speech::kSdkLoginParams), 0); }
    static tts::EspeakSdk& sdk() {
        static tts::EspeakSdk instance;
        return instance;
    }

    WavData speak(int voice, int speed, const char* utf8 = "欢迎来到直播间") {
        std::string path = dir.file("v" + std::to_string(voice) + "-" + std::to_string(speed) + ".wav");
        EXPECT_EQ(speech::synthesizeToWav(sdk(), util::utf8ToLocal(utf8), path,
                                          speech::buildSessionParams(voice, speed)),
                  0);
        return testing_support::readWav(path);
    }

    testing_support::TempDir dir;
};

// Every index the settings can hold names a voice the synthesiser knows.
TEST(VoiceIndexes, EveryOneIsAVoiceOfTheSynthesiser) {
    for (int voice = 0; voice < 16; ++voice) {
        tts::SessionParams parsed;
        EXPECT_EQ(tts::parseSessionParams(speech::buildSessionParams(voice, 70), parsed), 0) << voice;
    }
}

TEST_F(Voices, VoicesAndSpeedsSoundAsNamed) {
    const int xiaoyan = 0, yufeng = 2, xiaomei = 13;
    auto female = speak(xiaoyan, 70), male = speak(yufeng, 70), cantonese = speak(xiaomei, 70);
    double femalePitch = testing_support::medianPitchHz(female.samples, 16000);
    double malePitch = testing_support::medianPitchHz(male.samples, 16000);
    EXPECT_GT(femalePitch, 1.4 * malePitch) << femalePitch << " vs " << malePitch;
    // Same voice variant, other language: other sounds.
    EXPECT_GT(testing_support::spectrumDistance(female.samples, cantonese.samples), 0.05);

    auto slow = speak(xiaoyan, 1), fast = speak(xiaoyan, 100);
    EXPECT_LT(fast.samples.size() * 2, slow.samples.size());
}

}  // namespace
