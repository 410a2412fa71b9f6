#include "util/gbk.h"

namespace util {

std::size_t gbkFind(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) {
        return std::string_view::npos;
    }
    // The byte search finds candidates quickly; the walk only confirms that a
    // candidate starts a character, and never walks a stretch twice.
    std::size_t boundary = from;
    for (std::size_t candidate = text.find(needle, from); candidate != std::string_view::npos;
         candidate = text.find(needle, boundary)) {
        while (boundary < candidate) {
            boundary += gbkCharWidth(text, boundary);
        }
        if (boundary == candidate) {
            return candidate;
        }
    }
    return std::string_view::npos;
}

std::string_view gbkPrefix(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t width = gbkCharWidth(text, end);
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    return text.substr(0, end);
}

std::string_view gbkPrefixChars(std::string_view text, std::size_t maxChars) {
    std::size_t end = 0;
    for (std::size_t chars = 0; chars < maxChars && end < text.size(); ++chars) {
        end += gbkCharWidth(text, end);
    }
    return text.substr(0, end);
}

}  // namespace util
