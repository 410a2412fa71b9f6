#include <gtest/gtest.h>
#include <iconv.h>

#include "sdk/tts/espeak_lexicon.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/sdk_params.h"
#include "sdk/tts/spoken_form.h"

namespace {

// No character of GB2312 levels 1 and 2 (rows 0xB0-0xF7, as the C library's
// converter has them) makes the Mandarin voice switch to another language or
// read out a character code. The templates differ only in variant, which
// leaves the dictionary alone: one stands for all.
TEST(MandarinVoice, ReadsEveryGb2312CharacterInMandarin) {
    tts::EspeakSdk sdk;
    ASSERT_EQ(sdk.login(nullptr, nullptr, "appid = 7c3e9a21, work_dir = ."), 0);  // sets the synthesiser up
    const tts::VoiceSpec& voice = *tts::findVoice("xiaoyan");
    for (const auto& other : tts::voiceTable()) {
        EXPECT_TRUE(other.language == voice.language || other.language == "yue") << other.name;
    }
    ASSERT_TRUE(tts::selectVoice(std::string(voice.language) + "+" + std::string(voice.variant)));
    auto sayable = [&voice](char32_t c) { return tts::voiceKnowsIdeograph(voice.language, c); };
    iconv_t convert = ::iconv_open("UTF-8", "GB2312");
    ASSERT_NE(convert, reinterpret_cast<iconv_t>(-1));
    std::size_t read = 0, silent = 0;
    std::string foreign;
    for (int code = 0xB0A1; code <= 0xF7FE; ++code) {
        char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code)}, out[8];
        char *from = in, *to = out;
        std::size_t inLeft = 2, outLeft = sizeof out;
        if ((code & 0xFF) < 0xA1 ||
            ::iconv(convert, &from, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1)) {
            continue;
        }
        const std::string spoken = tts::spokenForm(std::string(out, to), sayable);
        const std::string trace = spoken.empty() ? "" : tts::phonemeTrace(spoken);
        ++(spoken.empty() ? silent : read);
        if (!spoken.empty() &&
            (trace.empty() || trace.find('(') != std::string::npos || trace.starts_with("@:"))) {
            foreign += spoken + " " + trace + "\n";
        }
    }
    ::iconv_close(convert);
    EXPECT_EQ(read + silent, 6763u);
    EXPECT_EQ(foreign, "");
    EXPECT_LE(silent, 10u);  // a few radicals the dictionary lacks
}

}  // namespace
