#include "util/gbk.h"

#include <gtest/gtest.h>

#include "util/text.h"

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

}  // namespace

// 這 DF40 '@', 瞇 B25B '[', 沒 9B5D ']', 東 967C '|': their trail bytes are
// ASCII punctuation.
TEST(GbkScan, FindsOnlyAtCharacterBoundaries) {
    struct Case {
        std::string text, needle;
        std::size_t from, at;
    };
    const auto npos = std::string_view::npos;
    const Case cases[] = {
        {gbk("這@"), "@", 0, 2},  // the trail byte is passed over
        {gbk("這這"), "@", 0, npos},
        {gbk("瞇[a]"), "[", 0, 2},
        {gbk("沒]"), "]", 0, 2},
        {gbk("沒"), "]", 0, npos},
        {gbk("ab東|"), "|", 0, 4},
        {gbk("這Sa@S"), "@S", 0, 4},  // "@S" across a character's trail byte and a letter
        {"a[b[c", "[", 2, 3},
        {"abc", "", 1, 1},
        {"abc", "a", 4, npos},
        {std::string("\xB0", 1), "\xB0", 0, 0},  // a lead byte cut off at the end stands alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(util::gbkFind(c.text, c.needle, c.from), c.at)
            << util::localToUtf8(c.text) << " / " << c.needle;
    }
    // A character straddling two others is not there: 好 BA C3, 人 C8 CB, and
    // C3 C8 is 萌.
    const std::string straddle = "\xC3\xC8";
    EXPECT_NE(std::string(gbk("好人")).find(straddle), std::string::npos);
    EXPECT_EQ(util::gbkFind(gbk("好人"), straddle), std::string_view::npos);
}

TEST(GbkScan, PrefixesEndOnCharacterBoundaries) {
    const std::string text = gbk("a這b");  // 61 DF 40 62
    const std::pair<std::size_t, std::string> cases[] = {
        {0, ""}, {1, "a"}, {2, "a"}, {3, gbk("a這")}, {9, text},
    };
    for (const auto& [limit, prefix] : cases) {
        EXPECT_EQ(util::gbkPrefix(text, limit), prefix) << limit;
    }
}
