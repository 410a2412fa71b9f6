// Arbitrary bytes through the GBK character walks: the first byte splits the
// input into a text and a needle. Every result is checked against a plain
// character-by-character reference; a mismatch traps.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/announcement_rules.h"
#include "util/gbk.h"

namespace {

std::vector<std::size_t> boundaries(std::string_view text) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < text.size(); i += util::gbkCharWidth(text, i)) {
        at.push_back(i);
    }
    return at;
}

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // Exactly sized copies, so a read past either end is caught.
    const std::size_t split = data[0] % size;
    const std::string text(reinterpret_cast<const char*>(data) + 1, split);
    const std::string needle(reinterpret_cast<const char*>(data) + 1 + split, size - 1 - split);

    std::size_t reference = std::string_view::npos;
    for (std::size_t at : boundaries(text)) {
        if (std::string_view(text).substr(at, needle.size()) == needle) {
            reference = at;
            break;
        }
    }
    if (needle.empty()) {
        reference = 0;
    }
    check(util::gbkFind(text, needle) == reference);

    const std::string_view prefix = util::gbkPrefix(text, needle.size());
    check(prefix.size() <= needle.size());
    check(prefix.size() == text.size() ||
          prefix.size() + util::gbkCharWidth(text, prefix.size()) > needle.size());

    // Stripping brackets removes whole characters only: what is left walks
    // into characters that all appear, in order, in the input.
    const std::string stripped = removeBracketedSegments(text);
    check(stripped.size() <= text.size());
    std::size_t from = 0;
    for (std::size_t at : boundaries(stripped)) {
        std::string_view character = std::string_view(stripped).substr(at, util::gbkCharWidth(stripped, at));
        std::size_t found = util::gbkFind(text, character, from);
        check(found != std::string_view::npos);
        from = found + character.size();
    }
    return 0;
}
