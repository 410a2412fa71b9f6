#include "app/filter_list.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../platforms/golden.h"
#include "gbk.h"
#include "temp_dir.h"
#include "util/text.h"

TEST(FilterList, NormalisedTextsAreMatchedByteForByte) {
    const auto cases = testing_support::goldenCases("app/filter_words.golden");
    ASSERT_EQ(cases.size(), 12u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|');
        EXPECT_EQ(app::isFiltered({c.in.substr(0, bar)}, c.in.substr(bar + 1)), c.out == "1") << c.in;
    }
}

TEST(FilterList, LoadsLinesAsTheyStandInEitherEncoding) {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kFilterFileName);
    EXPECT_TRUE(app::loadFilterList(path).empty());  // missing file

    const std::string longLine(app::kMaxFilterLine + 1, 'x');
    const std::string okLine(app::kMaxFilterLine, 'y');
    std::ofstream(path, std::ios::binary) << gbk("广告\r\n") << "qq \n"
                                          << longLine << "\n\n"
                                          << okLine << "\nlast";
    EXPECT_EQ(app::loadFilterList(path), (std::vector<std::string>{gbk("广告"), "qq ", okLine, "last"}));

    const std::vector<std::string> expected{gbk("广告"), gbk("加微信"), "qq"};
    const std::pair<const char*, std::string> files[] = {
        {"GBK", gbk("广告\r\n加微信\r\nqq\r\n")},
        {"UTF-8", "广告\n加微信\nqq\n"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF广告\r\n加微信\r\nqq"},
    };
    for (const auto& [name, bytes] : files) {
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_EQ(app::loadFilterList(path), expected) << name;
    }
}

TEST(FilterList, AHugeListKeepsTheWordsWithinItsCap) {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kFilterFileName);
    {
        std::ofstream out(path, std::ios::binary);
        out << gbk("广告") << '\n';
        const std::string line(1000, 'x');
        for (std::size_t written = 0; written <= app::kFilterFileCap; written += line.size() + 1) {
            out << line << '\n';
        }
        out << "late\n";
    }
    testing::internal::CaptureStderr();
    const std::vector<std::string> words = app::loadFilterList(path);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(path), std::string::npos);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front(), gbk("广告"));
    EXPECT_EQ(words.back(), std::string(1000, 'x'));  // whole lines only, and nothing past the cap
}
