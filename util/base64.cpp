#include "util/base64.h"

#include <cstdint>

namespace util {

namespace {

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

}  // namespace

std::optional<std::string> decodeBase64(std::string_view text, Base64Mode mode, std::size_t maxBytes) {
    const bool strict = mode == Base64Mode::Strict;
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '=') {
            // Padding ends the data; in strict mode nothing but padding may follow.
            if (strict && text.find_first_not_of('=', i) != std::string_view::npos) {
                return std::nullopt;
            }
            break;
        }
        const int value = base64Value(c);
        if (value < 0) {
            if (strict) {
                return std::nullopt;
            }
            continue;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            if (out.size() == maxBytes) {
                return std::nullopt;
            }
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    if (strict && count >= 6) {
        return std::nullopt;  // a lone character cannot carry a whole byte
    }
    return out;
}

}  // namespace util
