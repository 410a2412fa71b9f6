#include "sdk/tts/spoken_form.h"

#include <cstddef>
#include <vector>

namespace tts {

namespace {

constexpr char32_t kInvalid = 0xFFFD;
constexpr std::size_t kLongestRun = 4;

// Malformed, overlong and surrogate sequences give kInvalid, one per byte
// that cannot continue a character, so nothing is ever read past the end.
std::vector<char32_t> decode(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        if (length == 0 || at + length > text.size()) {
            out.push_back(kInvalid);
            ++at;
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (std::size_t i = 1; i < length && valid; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(kInvalid);
            ++at;
            continue;
        }
        out.push_back(c);
        at += length;
    }
    return out;
}

void encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool isAsciiLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool isLatinLetter(char32_t c) {
    return isAsciiLetter(c) || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

bool isIdeograph(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3134F) || c == 0x3007;
}

// Punctuation the synthesiser turns into a pause without naming it.
bool isPause(char32_t c) {
    constexpr std::u32string_view kPauses = U",.!?:;'\"()-\u2014\u2018\u2019\u201C\u201D\u2026\u3001\u3002";
    return kPauses.find(c) != std::u32string_view::npos ||
           (c >= 0x3008 && c <= 0x3011) ||  // 《》「」【】 and kin
           (c >= 0xFF01 && c <= 0xFF5E && isPause(c - 0xFEE0));
}

// Full-width ASCII forms as their ASCII selves, and every kind of blank as a
// space, so the rules below see one spelling of each. Full-width pause marks
// stay as typed: they pause as their ASCII selves do.
char32_t fold(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
        return isPause(c - 0xFEE0) ? c : c - 0xFEE0;
    }
    if (c == 0x3000 || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\v' || c == U'\f') {
        return U' ';
    }
    return c;
}

char32_t lower(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c + 32 : c;
}

bool startsWith(const std::vector<char32_t>& text, std::size_t at, std::u32string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[at + i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Length of the web address starting at `at`, or 0. Trailing sentence
// punctuation belongs to the sentence, not the address.
std::size_t addressLength(const std::vector<char32_t>& text, std::size_t at) {
    if (at > 0 && (isAsciiLetter(text[at - 1]) || isDigit(text[at - 1]))) {
        return 0;
    }
    if (!startsWith(text, at, U"http://") && !startsWith(text, at, U"https://") &&
        !startsWith(text, at, U"www.")) {
        return 0;
    }
    std::size_t end = at;
    while (end < text.size() && text[end] > U' ' && text[end] < 0x7F) {
        ++end;
    }
    while (end > at && std::u32string_view(U".,;:!?'\")").find(text[end - 1]) != std::u32string_view::npos) {
        --end;
    }
    return end - at;
}

// Folded characters, web addresses as "链接", runs cut to kLongestRun. A run
// of zeros after a digit is part of a number and stays whole.
std::vector<char32_t> normalize(std::string_view utf8) {
    std::vector<char32_t> text = decode(utf8);
    for (char32_t& c : text) {
        c = fold(c);
    }
    std::vector<char32_t> out;
    out.reserve(text.size());
    std::size_t run = 0;
    bool zerosOfNumber = false;
    for (std::size_t at = 0; at < text.size();) {
        if (std::size_t length = addressLength(text, at)) {
            out.insert(out.end(), {U'链', U'接'});
            run = 0;
            at += length;
            continue;
        }
        const char32_t c = text[at++];
        if (!out.empty() && out.back() == c && run > 0) {
            ++run;
        } else {
            run = 1;
            zerosOfNumber = c == U'0' && !out.empty() && isDigit(out.back());
        }
        if (run <= kLongestRun || zerosOfNumber) {
            out.push_back(c);
        }
    }
    return out;
}

class Speaker {
  public:
    void say(std::string_view word) {
        flushBlank();
        out_ += word;
    }
    void say(char32_t c) {
        flushBlank();
        encode(c, out_);
    }
    // Silence: a word boundary, so nothing around it runs together.
    void blank() { blank_ = !out_.empty(); }
    std::string take() { return std::move(out_); }

  private:
    void flushBlank() {
        if (blank_) {
            out_ += ' ';
            blank_ = false;
        }
    }
    std::string out_;
    bool blank_ = false;
};

}  // namespace

std::string spokenForm(std::string_view utf8, const IdeographCheck& sayable) {
    const std::vector<char32_t> text = normalize(utf8);
    Speaker speaker;
    bool spoken = false;       // something in the text is pronounced
    bool afterNumber = false;  // the last thing said was a number (blanks aside)
    auto digitFollows = [&text](std::size_t at) {
        while (at < text.size() && text[at] == U' ') {
            ++at;
        }
        return at < text.size() && isDigit(text[at]);
    };
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = text[at];
        if (isDigit(c)) {
            // A whole number at once: "50%" is said "百分之50", "3.5" is "3点5".
            std::size_t end = at;
            while (end < text.size() && (isDigit(text[end]) || (text[end] == U'.' && end + 1 < text.size() &&
                                                                isDigit(text[end + 1])))) {
                ++end;
            }
            const bool percent = end < text.size() && text[end] == U'%';
            if (percent) {
                speaker.say("百分之");
            }
            for (; at < end; ++at) {
                text[at] == U'.' ? speaker.say("点") : speaker.say(text[at]);
            }
            if (percent) {
                ++at;
                speaker.blank();  // "12%34" is two numbers, not 1234
            }
            spoken = afterNumber = true;
            continue;
        }
        ++at;
        if (c == U' ') {
            speaker.blank();
            continue;
        }
        if ((c == U'+' || c == U'=') && afterNumber && digitFollows(at)) {
            speaker.say(c == U'+' ? "加" : "等于");
        } else if (isLatinLetter(c) || (isIdeograph(c) && (!sayable || sayable(c)))) {
            speaker.say(c);
            spoken = true;
        } else if (isPause(c)) {
            speaker.say(c);
        } else {
            speaker.blank();
        }
        afterNumber = false;
    }
    return spoken ? speaker.take() : std::string();
}

}  // namespace tts
