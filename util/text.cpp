#include "util/text.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <limits>

#include "util/gbk.h"

namespace util {

namespace {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);
constexpr const char* kWideCode = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kLocalCode = "CP936";

// One iconv conversion. On a sequence the target cannot hold (or the source
// does not form), `skipUnit` bytes of input are skipped and the conversion goes
// on; an incomplete sequence at the end is dropped.
std::string convert(const char* to, const char* from, const char* in, std::size_t inBytes,
                    std::size_t skipUnit) {
    std::string out;
    if (inBytes == 0) {
        return out;
    }
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return out;
    }
    out.resize(inBytes * 2 + 16);
    char* src = const_cast<char*>(in);
    std::size_t srcLeft = inBytes;
    std::size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        std::size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ) {
            std::size_t skip = skipUnit < srcLeft ? skipUnit : srcLeft;
            src += skip;
            srcLeft -= skip;
        } else {  // EINVAL: incomplete sequence at the end
            break;
        }
    }
    out.resize(used);
    ::iconv_close(cd);
    return out;
}

std::u16string bytesToWide(const std::string& bytes) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto a = static_cast<unsigned char>(bytes[2 * i]);
        auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        wide[i] = std::endian::native == std::endian::little ? static_cast<char16_t>(a | (b << 8))
                                                             : static_cast<char16_t>((a << 8) | b);
    }
    return wide;
}

template <typename S>
S upToFirstZero(S s) {
    auto zero = s.find(typename S::value_type{0});
    if (zero != S::npos) {
        s.resize(zero);
    }
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isCSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::u16string utf8ToWide(std::string_view utf8) {
    auto nul = utf8.find('\0');
    if (nul != std::string_view::npos) {
        utf8 = utf8.substr(0, nul);
    }
    const std::size_t n = utf8.size();
    std::u16string out;
    out.reserve(n);
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    std::size_t p = 0;
    while (p < n) {
        unsigned char b = at(p);
        if (b < 0x80) {
            out.push_back(b);
            p += 1;
            continue;
        }
        std::size_t len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0) {  // stray continuation byte or F8..FF: not the start of anything
            p += 1;
            continue;
        }
        if (p + len > n) {  // truncated at the end of the input
            break;
        }
        char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t i = 1; i < len; ++i) {
            cp = (cp << 6) | (at(p + i) & 0x3F);
        }
        p += len;
        if (cp > 0xFFFF) {
            continue;  // outside the BMP: no 16-bit unit stands for it
        }
        out.push_back(static_cast<char16_t>(cp));
    }
    return upToFirstZero(std::move(out));
}

std::string wideToLocal(std::u16string_view wide) {
    auto zero = wide.find(u'\0');
    if (zero != std::u16string_view::npos) {
        wide = wide.substr(0, zero);
    }
    return convert(kLocalCode, kWideCode, reinterpret_cast<const char*>(wide.data()), wide.size() * 2, 2);
}

std::u16string localToWide(std::string_view gbk) {
    auto nul = gbk.find('\0');
    if (nul != std::string_view::npos) {
        gbk = gbk.substr(0, nul);
    }
    return upToFirstZero(bytesToWide(convert(kWideCode, kLocalCode, gbk.data(), gbk.size(), 1)));
}

std::string utf8ToLocal(std::string_view utf8) {
    return wideToLocal(utf8ToWide(utf8));
}

std::string localToUtf8(std::string_view gbk) {
    return wideToUtf8(localToWide(gbk));
}

std::string wideToUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::int32_t parseDecimal(const char* text) {
    return text ? parseDecimal(std::string_view(text)) : 0;
}

std::int32_t parseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return 0;
    }
    const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        auto digit = static_cast<std::uint32_t>(text[i] - '0');
        if (value > limit / 10 || value * 10 + digit > limit) {
            return negative ? std::numeric_limits<std::int32_t>::min()
                            : std::numeric_limits<std::int32_t>::max();
        }
        value = value * 10 + digit;
    }
    if (negative) {
        return value == 2147483648u ? std::numeric_limits<std::int32_t>::min()
                                    : -static_cast<std::int32_t>(value);
    }
    return static_cast<std::int32_t>(value);
}

std::string urlDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else if (c == '+') {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string trimCopy(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && isCSpace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    std::size_t begin = 0;
    while (begin < end && isCSpace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string fullWidthToHalfWidth(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size());
    std::size_t i = 0;
    while (i < gbk.size()) {
        auto b = static_cast<unsigned char>(gbk[i]);
        bool hasTrail = i + 1 < gbk.size();
        if (isGbkLead(b) && hasTrail) {
            auto t = static_cast<unsigned char>(gbk[i + 1]);
            if (b == 0xA3) {
                out.push_back(static_cast<char>((t + 0x80) & 0xFF));
            } else if (b == 0xA1 && t == 0xA1) {
                out.push_back(' ');
            } else {
                out.push_back(static_cast<char>(b));
                out.push_back(static_cast<char>(t));
            }
            i += 2;
        } else {
            out.push_back(static_cast<char>(b));
            i += 1;
        }
    }
    return out;
}

}  // namespace util
