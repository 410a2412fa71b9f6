#include "util/text.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace util;

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s.push_back(static_cast<char>(b));
    }
    return s;
}

}  // namespace

TEST(Utf8ToLocal, ConvertsChineseAndAsciiToGbk) {
    struct Case {
        std::string utf8;
        std::string gbk;
    } cases[] = {
        {"你好", bytes({0xC4, 0xE3, 0xBA, 0xC3})},
        {"", ""},
        {"abc 123", "abc 123"},
        {"a你b", bytes({'a', 0xC4, 0xE3, 'b'})},
        {std::string("你\0好", 5), bytes({0xC4, 0xE3})},  // UTF-8 text ends at its first NUL
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToLocal(c.utf8), c.gbk) << c.utf8;
    }
}

TEST(Utf8ToLocal, SkipsWhatGbkCannotHoldInsteadOfCuttingTheText) {
    // An emoji (4 bytes) and a character GBK lacks (U+0E01, Thai) are left out;
    // the rest of the line survives.
    EXPECT_EQ(utf8ToLocal("哈哈😀好的"), utf8ToLocal("哈哈好的"));
    EXPECT_EQ(utf8ToLocal("a\xE0\xB8\x81" "b"), "ab");
    // U+1F600's low 16 bits are U+F600, a private-use character GBK maps:
    // the decoder must never fold the emoji onto it.
    EXPECT_EQ(utf8ToWide("😀"), u"");
    EXPECT_EQ(utf8ToWide("x\xF0\x9F\x98\x80y"), u"xy");
}

TEST(Utf8ToWide, DecodesAndNeverReadsPastTheEnd) {
    struct Case {
        std::string utf8;
        std::u16string wide;
    } cases[] = {
        {"", u""},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE4\xBD\xA0", u"\u4F60"},
        {"ab\xE4\xBD", u"ab"},        // truncated three-byte sequence
        {"ab\xC3", u"ab"},            // truncated two-byte sequence
        {"ab\xF0\x9F\x98", u"ab"},    // truncated four-byte sequence
        {"\x80" "a\xBF" "b", u"ab"},  // stray continuation bytes are skipped, not five bytes at a time
        {"\xFF" "z", u"z"},
    };
    for (const auto& c : cases) {
        // Copy into an exactly sized heap buffer so ASan sees any read past it.
        std::vector<char> exact(c.utf8.begin(), c.utf8.end());
        EXPECT_EQ(utf8ToWide(std::string_view(exact.data(), exact.size())), c.wide);
    }
}

TEST(WideAndLocal, RoundTripAndSkipInvalidInput) {
    std::u16string wide = u"弹幕语音 ok，测试";
    EXPECT_EQ(localToWide(wideToLocal(wide)), wide);
    EXPECT_EQ(localToWide(""), u"");
    EXPECT_EQ(wideToLocal(u""), "");
    // 0xFF is never valid GBK: it is skipped and the text goes on.
    EXPECT_EQ(localToWide(bytes({0xC4, 0xE3, 0xFF, 'a', 0xBA, 0xC3})), u"你a好");
    // A lead byte alone at the end is dropped.
    EXPECT_EQ(localToWide(bytes({'a', 0xC4})), u"a");
    // A lone surrogate in wide text is skipped; a zero unit ends the text.
    EXPECT_EQ(wideToLocal(std::u16string(u"a\xD800" u"b")), "ab");
    EXPECT_EQ(wideToLocal(std::u16string(u"a\0b", 3)), "a");
    EXPECT_EQ(localToUtf8(utf8ToLocal("配置.txt")), "配置.txt");
    EXPECT_EQ(wideToUtf8(u"\xD83D\xDE00"), "😀");
}

TEST(WideAndLocal, ConcurrentCallersShareNothing) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (utf8ToLocal("你好世界") != bytes({0xC4, 0xE3, 0xBA, 0xC3, 0xCA, 0xC0, 0xBD, 0xE7})) {
                    ++failures;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(failures, 0);
}

TEST(ParseDecimal, FollowsTheDecimalPrefixRules) {
    struct Case {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+", 0},
        {"12ab", 12},
        {" -7/", -7},
        {"  +42x", 42},
        {" \n42", 0},  // only spaces and tabs are skipped
        {"\t9", 9},
        {"99999999999", 2147483647},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"-99999999999", -2147483647 - 1},
        {"0007", 7},
        {"--5", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseDecimal(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(parseDecimal(static_cast<const char*>(nullptr)), 0);
}

TEST(UrlDecode, DecodesEscapesAndPlus) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"%5B%7B%22%3A", "[{\":"},
        {"a+b", "a b"},
        {"%5b%7b", "[{"},  // lower case like upper case
        {"100%", "100%"},  // '%' among the last two bytes is copied
        {"%4", "%4"},
        {"%zz1", "%zz1"},
        {"", ""},
        {"%00x", std::string("\0x", 2)},
    };
    for (const auto& c : cases) {
        std::vector<char> exact(c.in.begin(), c.in.end());
        EXPECT_EQ(urlDecode(std::string_view(exact.data(), exact.size())), c.out) << c.in;
    }
}

TEST(TrimCopy, RemovesCLocaleWhiteSpaceOnly) {
    EXPECT_EQ(trimCopy("  \r\nabc d\t\v\f\r "), "abc d");
    EXPECT_EQ(trimCopy(" \t\r\n "), "");
    EXPECT_EQ(trimCopy(""), "");
    // High bytes (GBK, UTF-8) are never white space.
    EXPECT_EQ(trimCopy(bytes({' ', 0xA1, 0xA1, ' '})), bytes({0xA1, 0xA1}));
}

TEST(FullWidthToHalfWidth, FoldsFullWidthFormsAndKeepsCharactersWhole) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {bytes({0xA3, 0xC1, 0xA3, 0xB1, 0xA1, 0xA1}), "A1 "},
        {bytes({0xB0, 0xA1}), bytes({0xB0, 0xA1})},
        {bytes({0xA3, 0xA3, '5'}), "#5"},
        // Lead bytes 0x81..0xA2: the trail byte 0xA3 must not start a new pair.
        {bytes({0x81, 0xA3, 0xC1}), bytes({0x81, 0xA3, 0xC1})},
        {bytes({0xA1, 0xA3, 'x'}), bytes({0xA1, 0xA3, 'x'})},
        {"plain", "plain"},
        {bytes({'a', 0xA3}), bytes({'a', 0xA3})},  // a lead byte alone at the end
    };
    for (const auto& c : cases) {
        std::vector<char> exact(c.in.begin(), c.in.end());
        EXPECT_EQ(fullWidthToHalfWidth(std::string_view(exact.data(), exact.size())), c.out);
    }
}
