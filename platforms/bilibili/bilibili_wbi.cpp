#include "platforms/bilibili/bilibili_wbi.h"

#include <algorithm>
#include <array>

#include "util/md5.h"

namespace bilibili {

namespace {

constexpr std::array<int, 64> kMixinKeyTable = {
    46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35, 27, 43, 5,  49, 33, 9,
    42, 19, 29, 28, 14, 39, 12, 38, 41, 13, 37, 48, 7,  16, 24, 55, 40, 61, 26, 17, 0,  1,
    60, 51, 30, 4,  22, 25, 54, 21, 56, 59, 6,  63, 57, 62, 11, 36, 20, 34, 44, 52};

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}

}  // namespace

std::string wbiKeyFromUrl(std::string_view url) {
    std::size_t slash = url.rfind('/');
    std::string_view name = slash == std::string_view::npos ? url : url.substr(slash + 1);
    std::size_t dot = name.find('.');
    return std::string(name.substr(0, dot));
}

std::string mixinKey(std::string_view imgKey, std::string_view subKey) {
    std::string raw = std::string(imgKey) + std::string(subKey);
    if (raw.size() < kMixinKeyTable.size()) {
        return {};
    }
    std::string key;
    for (int index : kMixinKeyTable) {
        key.push_back(raw[static_cast<std::size_t>(index)]);
    }
    key.resize(32);
    return key;
}

std::string encodeComponent(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isUnreserved(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::string signedQuery(QueryParams params, std::string_view mixin, std::int64_t wts) {
    params.emplace_back("wts", std::to_string(wts));
    std::stable_sort(params.begin(), params.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string query;
    for (auto& [key, value] : params) {
        std::erase_if(value,
                      [](char c) { return c == '!' || c == '\'' || c == '(' || c == ')' || c == '*'; });
        if (!query.empty()) {
            query.push_back('&');
        }
        query += encodeComponent(key) + "=" + encodeComponent(value);
    }
    return query + "&w_rid=" + util::md5Hex(query + std::string(mixin));
}

}  // namespace bilibili
