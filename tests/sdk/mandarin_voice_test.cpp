// The Mandarin voices read Chinese in Mandarin: no character of GB2312's two
// levels makes the synthesiser switch to another language or read out a
// character code.
#include <gtest/gtest.h>
#include <iconv.h>

#include "sdk/tts/espeak_lexicon.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "sdk/tts/spoken_form.h"

namespace {

// Every character of GB2312 levels 1 and 2 (rows 0xB0-0xF7), UTF-8, as the C
// library's converter has them.
std::vector<std::string> gb2312Hanzi() {
    std::vector<std::string> all;
    iconv_t convert = ::iconv_open("UTF-8", "GB2312");
    if (convert == reinterpret_cast<iconv_t>(-1)) {
        return all;
    }
    for (int row = 0xB0; row <= 0xF7; ++row) {
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            char in[2] = {static_cast<char>(row), static_cast<char>(cell)};
            char out[8] = {};
            char* from = in;
            char* to = out;
            std::size_t inLeft = 2, outLeft = sizeof out;
            if (::iconv(convert, &from, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1)) {
                all.emplace_back(out, to);
            }
        }
    }
    ::iconv_close(convert);
    return all;
}

TEST(MandarinVoice, ReadsEveryGb2312CharacterInMandarin) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);  // sets the synthesiser up
    const std::vector<std::string> hanzi = gb2312Hanzi();
    ASSERT_EQ(hanzi.size(), 6763u);
    // The Mandarin entries differ only in variant, which leaves the dictionary
    // alone: one of them stands for all.
    const tts::VoiceSpec& voice = *tts::findVoice("xiaoyan");
    for (const auto& other : tts::voiceTable()) {
        EXPECT_TRUE(other.language == voice.language || other.language == "yue") << other.name;
    }
    ASSERT_TRUE(tts::selectVoice(std::string(voice.language) + "+" + std::string(voice.variant)));
    auto sayable = [&voice](char32_t c) { return tts::voiceKnowsIdeograph(voice.language, c); };
    std::string foreign;
    std::size_t silent = 0;
    for (const auto& character : hanzi) {
        const std::string spoken = tts::spokenForm(character, sayable);
        if (spoken.empty()) {
            ++silent;
            continue;
        }
        const std::string trace = tts::phonemeTrace(spoken);
        if (trace.empty() || trace.find('(') != std::string::npos || trace.starts_with("@:")) {
            foreign += character + " " + trace + "\n";
        }
    }
    EXPECT_EQ(foreign, "");
    EXPECT_LE(silent, 10u);  // a few radicals the dictionary lacks
    std::printf("%zu of %zu read in Mandarin, %zu silent\n", hanzi.size() - silent, hanzi.size(), silent);
}

}  // namespace
