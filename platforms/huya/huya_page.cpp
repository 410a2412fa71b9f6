#include "platforms/huya/huya_page.h"

#include <cstdint>
#include <limits>

#include "util/text.h"
#include "util/url_path.h"

namespace huya {

namespace {

bool isIdentifierChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A positive decimal number that fits 64 bits, at `text`'s start, optionally
// in quotes; 0 for anything else.
std::int64_t numberAt(std::string_view text) {
    std::size_t i = 0;
    char quote = 0;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        quote = text[i++];
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return 0;
        }
        value = value * 10 + digit;
    }
    if (digits == 0 || (quote && (i >= text.size() || text[i] != quote))) {
        return 0;
    }
    if (!quote && i < text.size() && (isIdentifierChar(text[i]) || text[i] == '.')) {
        return 0;  // 12e5, 1.5, 123abc: not an id
    }
    return static_cast<std::int64_t>(value);
}

// The first positive number assigned to `key` in `text`: `"key":123`,
// `key: "123"`, `key = 123` and the like, the key a whole word.
std::int64_t valueOf(std::string_view text, std::string_view key) {
    for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        std::size_t end = at + key.size();
        if ((at > 0 && isIdentifierChar(text[at - 1])) ||
            (end < text.size() && isIdentifierChar(text[end]))) {
            continue;
        }
        std::size_t i = end;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            ++i;
        }
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        if (i >= text.size() || (text[i] != ':' && text[i] != '=')) {
            continue;
        }
        ++i;
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        if (std::int64_t value = numberAt(text.substr(i)); value > 0) {
            return value;
        }
    }
    return 0;
}

// The object assigned to `name` (`var TT_ROOM_DATA = {...};`, `"tProfileInfo":{...}`):
// the text from its brace to the matching one, strings minded; empty when
// there is none.
std::string_view objectOf(std::string_view page, std::string_view name) {
    std::size_t at = page.find(name);
    if (at == std::string_view::npos) {
        return {};
    }
    std::size_t open = page.find('{', at + name.size());
    // Only blanks, quotes and the assignment may stand between name and brace.
    if (open == std::string_view::npos || open - at > name.size() + 8) {
        return {};
    }
    int depth = 0;
    char quote = 0;
    for (std::size_t i = open; i < page.size(); ++i) {
        char c = page[i];
        if (quote) {
            if (c == '\\') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return page.substr(open, i - open + 1);
        }
    }
    return {};
}

// `id` among the object's own keys, not those of an object inside it.
std::int64_t topLevelValueOf(std::string_view object, std::string_view key) {
    std::string flat(object.size(), ' ');
    int depth = 0;
    for (std::size_t i = 0; i < object.size(); ++i) {
        char c = object[i];
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        }
        flat[i] = depth == 1 ? c : ' ';
    }
    return valueOf(flat, key);
}

}  // namespace

std::string roomPageUrl(const std::string& pageBase, std::string_view typedRoom) {
    std::string url = pageBase;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url + '/' + util::urlEncodeSegment(util::trimCopy(typedRoom));
}

std::optional<RoomIds> readRoomPage(std::string_view page) {
    RoomIds ids;
    ids.yyid = valueOf(page, "lYyid");
    ids.channelId = valueOf(page, "lChannelId");
    ids.subChannelId = valueOf(page, "lSubChannelId");
    ids.presenterUid = valueOf(page, "lPresenterUid");
    if (ids.presenterUid == 0) {
        ids.presenterUid = topLevelValueOf(objectOf(page, "TT_ROOM_DATA"), "id");
    }
    if (ids.presenterUid == 0) {
        ids.presenterUid = valueOf(page, "lp");
    }
    if (ids.presenterUid == 0) {
        ids.presenterUid = topLevelValueOf(objectOf(page, "tProfileInfo"), "lUid");
    }
    if (ids.subChannelId == 0) {
        ids.subChannelId = ids.channelId;
    }
    if (ids.presenterUid == 0 && (ids.yyid == 0 || ids.channelId == 0)) {
        return std::nullopt;
    }
    return ids;
}

}  // namespace huya
