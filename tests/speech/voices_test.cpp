// The real synthesiser behind the SDK seam: every voice speaks, and the voices
// and speeds sound as their names promise.
#include <gtest/gtest.h>

#include <thread>

#include "audio_analysis.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using Samples = std::vector<std::int16_t>;

class Voices : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(sdk().login(nullptr, nullptr, speech::kSdkLoginParams), 0); }
    static tts::EspeakSdk& sdk() {
        static tts::EspeakSdk instance;
        return instance;
    }

    Samples speak(std::string_view voice, int speed, const char* utf8 = "欢迎来到直播间") {
        const std::string params =
            "voice_name =" + std::string(voice) +
            ",text_encoding = gb2312, sample_rate = 16000, speed = " + std::to_string(speed) +
            ", volume = 100, pitch =50, rdn = 2";
        const std::string path = dir.file(std::string(voice) + "-" + std::to_string(speed) + ".wav");
        // Polls finer than the engine's 50 ms: fifteen voices add up.
        const auto poll = [](std::uint32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(5)); };
        EXPECT_EQ(speech::synthesizeToWav(sdk(), util::utf8ToLocal(utf8), path, params, poll), 0) << voice;
        return testing_support::readWav(path).samples;
    }

    testing_support::TempDir dir;
};

// Seconds from the first to the last loud 10 ms frame: the speaking time
// without the silence around it.
double voicedSeconds(const Samples& s, int rate = 16000) {
    const std::size_t kFrame = static_cast<std::size_t>(rate / 100);
    double loudest = 0;
    for (std::size_t at = 0; at + kFrame <= s.size(); at += kFrame) {
        loudest = std::max(loudest, testing_support::rms(&s[at], kFrame));
    }
    std::size_t first = s.size(), last = 0;
    for (std::size_t at = 0; at + kFrame <= s.size(); at += kFrame) {
        if (testing_support::rms(&s[at], kFrame) > 0.05 * loudest) {
            first = std::min(first, at);
            last = at + kFrame;
        }
    }
    return first < last ? static_cast<double>(last - first) / rate : 0;
}

TEST_F(Voices, VoicesAndSpeedsSoundAsNamed) {
    const Samples female = speak("xiaoyan", 70), male = speak("yufeng", 70), cantonese = speak("xiaomei", 70);
    double femalePitch = testing_support::medianPitchHz(female, 16000);
    double malePitch = testing_support::medianPitchHz(male, 16000);
    EXPECT_GT(femalePitch, 1.4 * malePitch) << femalePitch << " vs " << malePitch;
    // Same voice variant, other language: other sounds.
    EXPECT_GT(testing_support::spectrumDistance(female, cantonese), 0.05);

    EXPECT_LT(speak("xiaoyan", 100).size() * 2, speak("xiaoyan", 1).size());
}

// Any two voice names differ clearly in median pitch, speaking rate or timbre
// on the same sentence, at the same speed and the same pitch parameter.
TEST_F(Voices, AnyTwoVoiceNamesDifferInPitchRateOrTimbre) {
    struct Measured {
        std::string_view name;
        double pitchHz, seconds;
        Samples samples;
    };
    std::vector<Measured> voices;
    for (const auto& spec : tts::voiceTable()) {
        Samples samples = speak(spec.name, 70, "欢迎来到直播间，感谢支持");
        voices.push_back({spec.name, testing_support::medianPitchHz(samples, 16000), voicedSeconds(samples),
                          std::move(samples)});
        ASSERT_GT(voices.back().pitchHz, 0) << spec.name;
    }
    ASSERT_EQ(voices.size(), 15u);
    for (std::size_t i = 0; i < voices.size(); ++i) {
        for (std::size_t j = i + 1; j < voices.size(); ++j) {
            const Measured& a = voices[i];
            const Measured& b = voices[j];
            const double pitch = std::max(a.pitchHz, b.pitchHz) / std::min(a.pitchHz, b.pitchHz);
            const double rate = std::max(a.seconds, b.seconds) / std::min(a.seconds, b.seconds);
            if (pitch >= 1.05 || rate >= 1.15) {
                continue;
            }
            // Close in pitch and pace: only a clearly other timbre
            // tells them apart.
            const double timbre = testing_support::spectrumDistance(a.samples, b.samples);
            EXPECT_GE(timbre, 0.15) << a.name << " and " << b.name << ": " << a.pitchHz << " vs " << b.pitchHz
                                    << " Hz, " << a.seconds << " vs " << b.seconds << " s";
        }
    }
}

// Read as English pinyin with tone digits, a line takes a fifth to four
// fifths longer than the library's own Mandarin reading of it.
TEST_F(Voices, ALineTakesNoLongerThanTheLibrarysMandarinReading) {
    const char* const line = "感谢土豪丁赠送的1个飞机，主播今天状态真好";
    const double ours = voicedSeconds(speak("xiaoyan", 70, line));

    const tts::VoiceSpec& voice = *tts::findVoice("xiaoyan");
    const std::string wav = dir.file("reference.wav");
    const std::string command = "espeak-ng -v cmn-latn-pinyin+" + std::string(voice.variant) + " -s " +
                                std::to_string(tts::speechRateForSpeed(70)) + " -p " +
                                std::to_string(tts::synthPitch(voice, 50)) + " -w " + wav + " '" + line + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const testing_support::WavData reference = testing_support::readWav(wav);
    ASSERT_FALSE(reference.samples.empty());
    const double theirs = voicedSeconds(reference.samples, reference.rate);
    EXPECT_GT(ours, 0.5);
    EXPECT_LE(ours, theirs * 1.1);
}

}  // namespace
