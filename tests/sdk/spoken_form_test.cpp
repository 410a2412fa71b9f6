#include "sdk/tts/spoken_form.h"

#include <gtest/gtest.h>

namespace {

TEST(SpokenForm, SaysWhatAChineseReaderSays) {
    struct Case {
        const char* typed;
        const char* spoken;
    };
    const Case cases[] = {
        // Nothing to change.
        {"老板大气", "老板大气"},
        {"hello world", "hello world"},
        {"主播晚上好，来了来了", "主播晚上好，来了来了"},
        {"《青花瓷》真好听!", "《青花瓷》真好听!"},
        {"1000000", "1000000"},
        // Symbols nobody reads aloud fall silent, words around them stay apart.
        {"用***说:666", "用 说:666"},
        {"#上岸#", "上岸"},
        {"a_b^c|d\\e<f>g&h/i@主播", "a b c d e f g h i 主播"},
        {"[[a]]", "a"},
        {"好😀好", "好 好"},
        {"第1名\r\n恭喜", "第1名 恭喜"},
        {"こんにちは主播", "主播"},
        {"ＡＢＣ１２３＊＃", "ABC123"},
        {"扌們好", "們好"},  // an ideograph the voice lacks
        // What a Chinese reader does say.
        {"50%", "百分之50"},
        {"涨了12.5%!", "涨了百分之12点5 !"},
        {"12%34", "百分之12 34"},
        {"1+1=2", "1加1等于2"},
        {"1 + 1 = 2", "1 加 1 等于 2"},
        {"+1", "1"},
        {"3.5分, 完了.", "3点5分, 完了."},
        // Long runs of one character are cut to four.
        {"哈哈哈哈哈哈哈", "哈哈哈哈"},
        {"666666666", "6666"},
        {"！！！！！好", "！！！！好"},
        {"23333333", "23333"},
        // Web addresses.
        {"看 https://example.com/a?b=1 吧", "看 链接 吧"},
        {"去www.Example.com。", "去链接。"},
        {"HTTP://X.CN,好", "链接,好"},
        // Nothing left to say.
        {"~~~***", ""},
        {"～＊＃＠＿＾｜＼＜＞", ""},
        {"😀👍🎉", ""},
        {"──→★■", ""},
        {"，。！？", ""},
        {"\xff\xfe\xc0\x80\xed\xa0\x80 ", ""},
    };
    auto sayable = [](char32_t c) { return c != U'扌'; };
    for (const auto& c : cases) {
        EXPECT_EQ(tts::spokenForm(c.typed, sayable), c.spoken) << c.typed;
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
