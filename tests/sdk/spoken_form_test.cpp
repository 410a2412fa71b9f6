#include "sdk/tts/spoken_form.h"

#include <gtest/gtest.h>

#include "../platforms/golden.h"

namespace {

// Line breaks and broken UTF-8 cannot stand in the golden file.
TEST(SpokenForm, SaysWhatAChineseReaderSays) {
    auto cases = testing_support::goldenCases("speech/spoken_form.txt");
    ASSERT_EQ(cases.size(), 32u);
    cases.push_back({"第1名\r\n恭喜", "第1名 恭喜"});
    cases.push_back({"\xff\xfe\xc0\x80\xed\xa0\x80 ", ""});
    auto sayable = [](char32_t c) { return c != U'扌'; };
    for (const auto& c : cases) {
        EXPECT_EQ(tts::spokenForm(c.in, sayable), c.out) << c.in;
    }
}

TEST(SpokenForm, AMegabyteLineTakesOnePass) {
    // Each pattern would cost quadratic time to a rule that looks back or
    // ahead without bound.
    for (const std::string piece : {"1%", "哈~", "1+", "www.", "0", " ", "\xff"}) {
        std::string line;
        while (line.size() < (1u << 20)) {
            line += piece;
        }
        EXPECT_LE(tts::spokenForm(line).size(), 8 * line.size()) << piece;
    }
}

}  // namespace
