// The real synthesiser behind the SDK seam: every voice speaks, and the voices
// and speeds sound as their names promise.
#include <gtest/gtest.h>

#include "audio_analysis.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using testing_support::readWav;
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
        return readWav(path);
    }

    testing_support::TempDir dir;
};

TEST_F(Voices, EveryVoiceGivesAValidAudible16kMonoFile) {
    for (int voice = 0; voice < 16; ++voice) {
        SCOPED_TRACE(speech::voiceNameForIndex(voice));
        WavData wav = speak(voice, 70, "你好");
        ASSERT_TRUE(wav.valid);
        EXPECT_EQ(wav.rate, 16000u);
        EXPECT_EQ(wav.channels, 1u);
        EXPECT_EQ(wav.bits, 16u);
        EXPECT_GT(wav.samples.size(), 16000u / 4);
        EXPECT_GT(testing_support::rms(wav.samples), 500);
    }
}

TEST_F(Voices, KindsOfVoiceSoundDifferent) {
    const int xiaoyan = 0, yufeng = 2, donaldduck = 4, baybyxu = 5, xiaomei = 13;
    auto female = speak(xiaoyan, 70), male = speak(yufeng, 70), child = speak(baybyxu, 70),
         cartoon = speak(donaldduck, 70), cantonese = speak(xiaomei, 70);
    double femalePitch = testing_support::medianPitchHz(female.samples, 16000);
    double malePitch = testing_support::medianPitchHz(male.samples, 16000);
    double childPitch = testing_support::medianPitchHz(child.samples, 16000);
    EXPECT_GT(femalePitch, 1.4 * malePitch) << femalePitch << " vs " << malePitch;
    EXPECT_GT(childPitch, 1.3 * femalePitch) << childPitch << " vs " << femalePitch;

    auto spectrum = [](const WavData& wav) { return testing_support::bandShares(wav.samples); };
    // The cartoon voice shares the male pitch range; its formants set it apart.
    EXPECT_GT(testing_support::spectrumDistance(spectrum(cartoon), spectrum(male)), 0.05);
    // Same variant, other language: other sounds.
    EXPECT_GT(testing_support::spectrumDistance(spectrum(female), spectrum(cantonese)), 0.05);
}

TEST_F(Voices, FastestSpeedIsClearlyShorterThanSlowest) {
    auto slow = speak(0, 1), natural = speak(0, 70), fast = speak(0, 100);
    EXPECT_LT(fast.samples.size() * 2, slow.samples.size());
    EXPECT_LT(fast.samples.size(), natural.samples.size());
    EXPECT_LT(natural.samples.size(), slow.samples.size());
}

}  // namespace
