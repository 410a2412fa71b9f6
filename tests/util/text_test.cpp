#include "util/text.h"

#include <gtest/gtest.h>

#include <vector>

#include "util/base64.h"

using namespace util;

namespace {

// Runs `convert` on an exactly sized heap copy, so ASan sees any read past the end.
template <typename F>
auto onExactBuffer(const std::string& in, F convert) {
    std::vector<char> exact(in.begin(), in.end());
    return convert(std::string_view(exact.data(), exact.size()));
}

}  // namespace

TEST(TextConversion, Utf8ToGbkSkipsWhatGbkCannotHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"你好", "\xC4\xE3\xBA\xC3"},           {"x你y", "x\xC4\xE3y"},
        {std::string("你\0好", 5), "\xC4\xE3"},                            // the text ends at its first NUL
        {"哈哈😀好的", utf8ToLocal("哈哈好的")}, {"x\xE0\xB8\x81y", "xy"},  // Thai: GBK lacks it
    };
    for (const auto& [utf8, gbk] : cases) {
        EXPECT_EQ(utf8ToLocal(utf8), gbk) << utf8;
    }
    // U+1F600's low 16 bits are U+F600, a private-use character GBK maps:
    // the emoji must never be folded onto it.
    EXPECT_EQ(utf8ToWide("x\xF0\x9F\x98\x80y"), u"xy");
    EXPECT_EQ(localToUtf8(utf8ToLocal("配置.txt")), "配置.txt");
}

TEST(TextConversion, BrokenInputIsSkippedWithoutReadingPastTheEnd) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"xy\xE4\xBD", u"xy"}, {"xy\xC3", u"xy"}, {"xy\xF0\x9F\x98", u"xy"},
        {"\x80x\xBFy", u"xy"},  // stray continuation bytes are skipped one at a time
        {"\xFFz", u"z"},
    };
    for (const auto& [in, wide] : cases) {
        EXPECT_EQ(onExactBuffer(in, [](std::string_view s) { return utf8ToWide(s); }), wide);
    }
    EXPECT_EQ(localToWide("\xC4\xE3\xFFx\xBA\xC3"), u"你x好");
    EXPECT_EQ(localToWide("x\xC4"), u"x");  // a lead byte alone at the end
    EXPECT_EQ(wideToLocal(std::u16string(u"x\xD800y")), "xy");
}

TEST(ParseDecimal, SaturatesAndFollowsThePrefixRules) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0},
        {"-", 0},
        {"--5", 0},
        {"12ab", 12},
        {" -7/", -7},
        {"\t+42x", 42},
        {" \n42", 0},  // only spaces and tabs are skipped
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483649", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(parseDecimal(text), value) << '"' << text << '"';
    }
    EXPECT_EQ(parseDecimal(static_cast<const char*>(nullptr)), 0);
}

TEST(UrlDecode, DecodesEscapesAndLeavesBrokenOnesAlone) {
    const std::pair<std::string, std::string> cases[] = {
        {"%5B%7B%22%3A", "[{\":"}, {"%5b%7b", "[{"}, {"a+b", "a b"},
        {"100%", "100%"},          {"%4", "%4"},     {"%zz1", "%zz1"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(onExactBuffer(in, [](std::string_view s) { return urlDecode(s); }), out) << in;
    }
}

TEST(TrimAndWidth, TrimCopyAndFullWidthFoldingKeepCharactersWhole) {
    EXPECT_EQ(trimCopy("  \r\nabc d\t\v\f\r "), "abc d");
    EXPECT_EQ(trimCopy(" \t\r\n "), "");
    EXPECT_EQ(trimCopy(" \xA1\xA1 "), "\xA1\xA1");  // high bytes are not space

    const std::pair<std::string, std::string> cases[] = {
        {"\xA3\xC1\xA3\xB1\xA1\xA1", "A1 "},
        {"\xB0\xA1", "\xB0\xA1"},
        // After a lead byte 0x81..0xA2 the trail byte 0xA3 must not start a pair.
        {"\x81\xA3\xC1", "\x81\xA3\xC1"},
        {"\xA2\xA3x", "\xA2\xA3x"},
        {"x\xA3", "x\xA3"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(onExactBuffer(in, [](std::string_view s) { return fullWidthToHalfWidth(s); }), out);
    }
}

// Strict decoding refuses what a careless server might send; the lenient mode
// reads past it, as a page embedded in HTML needs.
TEST(Base64, StrictRefusesWhatLenientPassesOver) {
    using util::Base64Mode;
    struct Row {
        const char* text;
        std::optional<std::string> strict, lenient;
    };
    const Row rows[] = {
        {"aGk=", "hi", "hi"},
        {"aGk", "hi", "hi"},
        {"aG\nk=", std::nullopt, "hi"},
        {"aGk=aGk=", std::nullopt, "hi"},  // padding in the middle
        {"aGkx2", std::nullopt, "hi1"},    // a lone sixth-bit character
        {"", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(util::decodeBase64(row.text, Base64Mode::Strict), row.strict) << row.text;
        EXPECT_EQ(util::decodeBase64(row.text, Base64Mode::SkipInvalid), row.lenient) << row.text;
    }
    EXPECT_EQ(util::decodeBase64("aGk=", Base64Mode::Strict, 1), std::nullopt);  // over the cap
}
