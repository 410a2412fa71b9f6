// Every voice name of the SDK stand-in sounds like a voice of its own: any two
// differ clearly in median pitch, speaking rate or timbre on the same
// sentence, at the same speed and the same pitch parameter.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio_analysis.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

struct Measured {
    std::string name;
    double pitchHz = 0;
    double seconds = 0;
    std::vector<std::int16_t> samples;
};

std::vector<std::int16_t> speak(tts::EspeakSdk& sdk, std::string_view voice, const std::string& gbk) {
    const std::string params = "voice_name =" + std::string(voice) +
                               ",text_encoding = gb2312, sample_rate = 16000, speed = 70, volume = 100, "
                               "pitch =50, rdn = 2";
    int error = 0;
    tts::SessionHandle session = sdk.sessionBegin(params.c_str(), &error);
    EXPECT_EQ(error, 0) << voice;
    EXPECT_EQ(sdk.textPut(session, gbk.data(), static_cast<unsigned>(gbk.size()), nullptr), 0);
    std::vector<std::int16_t> samples;
    int status = 1;
    while (status != 2 && error == 0) {
        unsigned length = 0;
        const void* audio = sdk.audioGet(session, &length, &status, &error);
        if (audio) {
            const auto* begin = static_cast<const std::int16_t*>(audio);
            samples.insert(samples.end(), begin, begin + length / 2);
        } else if (status != 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(sdk.sessionEnd(session, "Normal"), 0);
    return samples;
}

// Seconds from the first to the last loud 10 ms frame: the speaking time
// without the silence around it.
double voicedSeconds(const std::vector<std::int16_t>& s, int rate = 16000) {
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

TEST(VoiceCharacter, AnyTwoVoiceNamesDifferInPitchRateOrTimbre) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);
    const std::string sentence = util::utf8ToLocal("欢迎来到直播间，感谢支持");
    std::vector<Measured> voices;
    for (const auto& spec : tts::voiceTable()) {
        Measured m;
        m.name = spec.name;
        m.samples = speak(sdk, spec.name, sentence);
        m.pitchHz = testing_support::medianPitchHz(m.samples, 16000);
        m.seconds = voicedSeconds(m.samples);
        ASSERT_GT(m.pitchHz, 0) << m.name;
        voices.push_back(std::move(m));
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
TEST(VoiceCharacter, ALineTakesNoLongerThanTheLibrarysMandarinReading) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);
    const std::string line = "感谢土豪丁赠送的1个飞机，主播今天状态真好";
    const double ours = voicedSeconds(speak(sdk, "xiaoyan", util::utf8ToLocal(line)));

    const tts::VoiceSpec& voice = *tts::findVoice("xiaoyan");
    testing_support::TempDir dir;
    const std::string wav = dir.file("reference.wav");
    const std::string command = "espeak-ng -v cmn-latn-pinyin+" + std::string(voice.variant) + " -s " +
                                std::to_string(tts::speechRateForSpeed(70)) + " -p " +
                                std::to_string(tts::synthPitch(voice, 50)) + " -w " + wav + " '" + line + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<char> bytes = testing_support::readBytes(wav);
    ASSERT_GT(bytes.size(), 44u);
    std::vector<std::int16_t> reference((bytes.size() - 44) / 2);
    std::memcpy(reference.data(), bytes.data() + 44, reference.size() * 2);
    const double theirs = voicedSeconds(reference, static_cast<int>(testing_support::le(&bytes[24], 4)));
    EXPECT_GT(ours, 0.5);
    EXPECT_LE(ours, theirs * 1.1);
}

}  // namespace
