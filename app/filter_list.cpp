#include "app/filter_list.h"

#include <algorithm>
#include <optional>

#include "app/capped_file.h"
#include "util/text.h"

#include "util/gbk.h"

namespace app {

namespace {

bool isLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool isAsciiAlnum(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // range of the first continuation byte
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The words are GBK inside the program, whichever of the two encodings the
// host's editor saved.
std::string asGbk(std::string content) {
    if (content.compare(0, kBom.size(), kBom) == 0) {
        return util::utf8ToLocal(std::string_view(content).substr(kBom.size()));
    }
    return isUtf8ListText(content) ? util::utf8ToLocal(content) : content;
}

}  // namespace

// A GBK text of Chinese words is practically never valid UTF-8, so a valid
// UTF-8 file is taken as UTF-8.
bool isUtf8ListText(std::string_view content) {
    if (content.compare(0, kBom.size(), kBom) == 0) {
        return true;
    }
    const bool ascii = std::all_of(content.begin(), content.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && isUtf8(content);
}

std::vector<std::string> loadFilterList(const std::string& nativePath) {
    std::vector<std::string> words;
    std::optional<std::string> file = readCappedFile(nativePath, kFilterFileCap);
    if (!file) {
        return words;
    }
    const std::string content = asGbk(std::move(*file));
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find('\n', begin);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string_view line(content.data() + begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A zero byte ends the word: an empty word would match every text.
        line = line.substr(0, line.find('\0'));
        if (!line.empty() && line.size() <= kMaxFilterLine) {
            words.emplace_back(line);
        }
    }
    return words;
}

std::string normalizeForFilter(std::string_view gbk) {
    // Each output unit is one ASCII byte or one whole double-byte character;
    // the second step looks at units, so a trail byte that happens to equal an
    // ASCII punctuation mark never splits a character.
    std::string out;
    out.reserve(gbk.size());
    auto at = [&gbk](std::size_t i) -> unsigned char { return i < gbk.size() ? gbk[i] : 0; };
    auto keepAscii = [&out](unsigned char byte) {
        if (byte >= 0x80 || isAsciiAlnum(byte)) {
            out += static_cast<char>(byte);
        }
    };
    std::size_t i = 0;
    while (i < gbk.size()) {
        const unsigned char byte = at(i);
        const unsigned char next = at(i + 1);
        if (byte == 0xA3) {
            // Full-width ASCII forms: A3 C1 is the letter A.
            keepAscii(static_cast<unsigned char>(next + 0x80));
            i += 2;
        } else if (byte == 0xA1) {
            // A1 A1 is the full-width space, the rest of the row punctuation
            // and symbols; neither survives the cleaning.
            i += 2;
        } else if (isLead(byte) && i + 1 < gbk.size()) {
            out += static_cast<char>(byte);
            out += static_cast<char>(next);
            i += 2;
        } else {
            keepAscii(byte);
            ++i;
        }
    }
    return out;
}

bool isFiltered(const std::vector<std::string>& words, std::string_view text) {
    if (words.empty()) {
        return false;
    }
    const std::string normalised = normalizeForFilter(text);
    if (normalised.empty()) {
        return false;
    }
    for (const std::string& word : words) {
        // A word matches only where a character starts: a byte search would
        // find "A" in the second byte of a double-byte character, or a
        // character across the boundary of two others.
        if (util::gbkFind(normalised, word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace app
