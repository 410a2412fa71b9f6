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
    for (const auto& c : testing_support::goldenCases("app/filter_files.golden")) {
        std::ofstream(path, std::ios::binary) << fileBytes(c.in);
        std::string words;
        for (const std::string& word : app::loadFilterList(path)) {
            words += util::localToUtf8(word) + "|";
        }
        EXPECT_EQ(words, c.out) << c.in;
    }
    // A line too long to be a word is dropped, one at the limit kept.
    const std::string atLimit(app::kMaxFilterLine, 'y');
    std::ofstream(path, std::ios::binary) << std::string(app::kMaxFilterLine + 1, 'x') << "\n" << atLimit;
    EXPECT_EQ(app::loadFilterList(path), std::vector{atLimit});
}
