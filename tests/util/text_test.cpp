#include "util/text.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "../platforms/golden.h"
#include "util/base64.h"
#include "util/gbk.h"
#include "util/json_reader.h"
#include "util/md5.h"

using namespace util;

namespace {

// Runs `convert` on an exactly sized heap copy, so ASan sees any read past the end.
template <typename F>
auto onExactBuffer(const std::string& in, F convert) {
    std::vector<char> exact(in.begin(), in.end());
    return convert(std::string_view(exact.data(), exact.size()));
}

}  // namespace

TEST(TextConversion, GoldenConversions) {
    using Convert = std::function<std::string(std::string_view)>;
    auto base64 = [](Base64Mode mode) {
        return [mode](std::string_view s) { return decodeBase64(s, mode).value_or("refused"); };
    };
    const std::map<std::string, Convert> conversions = {
        {"utf8ToLocal", [](std::string_view s) { return utf8ToLocal(s); }},
        {"parseDecimal", [](std::string_view s) { return std::to_string(parseDecimal(s)); }},
        {"urlDecode", [](std::string_view s) { return urlDecode(s); }},
        {"fullWidthToHalfWidth", [](std::string_view s) { return fullWidthToHalfWidth(s); }},
        {"base64Strict", base64(Base64Mode::Strict)},
        {"base64Lenient", base64(Base64Mode::SkipInvalid)},
        {"gbkFind",
         [](std::string_view s) {
             const auto a = s.find(' '), b = s.find(' ', a + 1);
             const auto at = gbkFind(utf8ToLocal(s.substr(0, a)), utf8ToLocal(s.substr(a + 1, b - a - 1)),
                                     parseDecimal(s.substr(b + 1)));
             return at == std::string_view::npos ? std::string("npos") : std::to_string(at);
         }},
        {"gbkPrefix",
         [](std::string_view s) {
             const auto a = s.find(' ');
             const std::string text = utf8ToLocal(s.substr(0, a));
             const std::string_view prefix = gbkPrefix(text, parseDecimal(s.substr(a + 1)));
             return localToUtf8(prefix) + " " + std::to_string(prefix.size());
         }},
        {"jsonReader",
         [](std::string_view s) {
             JsonReader reader;
             const bool opened = reader.open(s);
             (void)reader.text("/b");
             (void)reader.text("/a");
             const bool ok = opened && reader.check() == JsonShape::Ok;
             const bool walked = reader.forEach(
                 "/l", 9, [](util::JsonValue entry) { return util::jsonText(entry["p"]).has_value(); });
             (void)reader.isObject();
             return std::string(ok ? "ok" : "refused") + (walked ? ", walked" : "");
         }},
        {"measureJson",
         [](std::string_view s) {
             const char* shapes[] = {"Ok", "TooLarge", "TooDeep", "TooWide", "Malformed"};
             return shapes[static_cast<int>(measureJson(s, JsonLimits{64, 3, 4}))];
         }},
    };
    auto cases = testing_support::goldenCases("util/text.golden");
    ASSERT_EQ(cases.size(), 76u);
    for (const auto& c : cases) {
        const auto space = c.in.find(' ');
        const auto& convert = conversions.at(c.in.substr(0, space));
        EXPECT_EQ(onExactBuffer(c.in.substr(space + 1), convert), c.out) << c.in;
    }
    // U+1F600's low 16 bits are U+F600, a private-use character GBK maps:
    // the emoji must never be folded onto it.
    EXPECT_EQ(utf8ToWide("x\xF0\x9F\x98\x80y"), u"xy");
    EXPECT_EQ(localToUtf8(utf8ToLocal("配置.txt")), "配置.txt");
    EXPECT_EQ(parseDecimal(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(decodeBase64("aGk=", Base64Mode::Strict, 1), std::nullopt);  // over the cap
    EXPECT_EQ(trimCopy("  \r\nabc d\t\v\f\r "), "abc d");
    EXPECT_EQ(trimCopy(" \t\r\n "), "");
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(trimCopy(" \xA1\xA1 "), "\xA1\xA1");           // high bytes are not space
    EXPECT_EQ(gbkFind(std::string("\xB0", 1), "\xB0"), 0u);  // a lead byte cut off at the end stands alone
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
