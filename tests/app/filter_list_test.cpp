#include "app/filter_list.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"
#include "util/text.h"

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

}  // namespace

TEST(FilterList, NormalisedTextsAreMatchedByteForByte) {
    struct Case {
        std::vector<std::string> words;
        std::string text;
        bool filtered;
    };
    const Case cases[] = {
        {{gbk("广告")}, gbk("广，告"), true},  // full-width comma
        {{gbk("广告")}, gbk("广、告"), true},  // row A1 punctuation
        {{gbk("广告")}, gbk("广　告"), true},  // full-width space
        {{"QQ"}, gbk("Ｑ Ｑ"), true},
        {{"QQ"}, "qq", false},
        {{"qq "}, "qq 123", false},  // a word ending with a space
        {{"123"}, "1-2.3!", true},
        {{"!"}, "!!!", false},  // punctuation only
        {{gbk("广告")}, "", false},
        {{}, "anything", false},
        // A double-byte character whose trail byte is '[' stays whole.
        {{std::string("\x81\x5B")},
         std::string("a\x81\x5B"
                     "b"),
         true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::isFiltered(c.words, c.text), c.filtered) << util::localToUtf8(c.text);
    }
    EXPECT_EQ(app::normalizeForFilter(gbk("Ａ１，　b")), "A1b");
    EXPECT_EQ(app::normalizeForFilter("!?"), "");
}

TEST(FilterList, LoadsLinesAsTheyStand) {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kFilterFileName);
    EXPECT_TRUE(app::loadFilterList(path).empty());  // missing file

    const std::string longLine(app::kMaxFilterLine + 1, 'x');
    const std::string okLine(app::kMaxFilterLine, 'y');
    std::ofstream(path, std::ios::binary) << gbk("广告\r\n") << "qq \n"
                                          << longLine << "\n\n"
                                          << okLine << "\n"
                                          << std::string("\0\n", 2) << "last";
    const std::vector<std::string> expected = {gbk("广告"), "qq ", okLine, "last"};
    EXPECT_EQ(app::loadFilterList(path), expected);
}
