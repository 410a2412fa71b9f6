// The host's own wording: templates for each kind of announcement and the
// lists that say how a viewer's name or a word is spoken. All texts GBK.
//
// Threads: pure functions and immutable tables; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What a template's placeholders stand for. A field the event lacks is empty.
struct TemplateFields {
    std::string_view name;   // {name}
    std::string_view text;   // {text}
    std::string_view count;  // {count}
    std::string_view gift;   // {gift}
    std::string_view price;  // {price}
};

// `pattern` with each known placeholder replaced by its field; anything else
// (an unknown "{word}", a lone brace) stays as written. One pass, so a field
// holding "{name}" is not expanded again. The result is cut to the
// announcement ceiling.
std::string expandTemplate(std::string_view pattern, const TemplateFields& fields);

// "from=to" pairs: a nickname list (whole names) or a word list (any part of
// a text). Built once from a file's lines and then only read.
class Replacements {
  public:
    // Longest "from" taken, in bytes; longer ones are skipped with the lines
    // that have no "=" or an empty "from".
    static constexpr std::size_t kMaxKeyBytes = 64;

    // Takes each "from=to" line (the first "=" splits; blanks around both
    // sides trimmed); a later line for the same "from" wins. Returns how many
    // lines were skipped.
    std::size_t addLines(const std::vector<std::string>& lines);

    bool empty() const { return table_.empty(); }
    std::size_t size() const { return table_.size(); }

    // The whole of `name` replaced when it is listed, else `name` unchanged.
    std::string_view wholeName(std::string_view name) const;

    // Each listed word in `text` replaced, scanning from the left and
    // preferring the longest word at each character; replaced text is not
    // scanned again. Costs at most one lookup per distinct word length per
    // character, whatever the list's size. Stops once the result holds
    // more than an announcement can (cut it with withinCeiling).
    std::string words(std::string_view text) const;

  private:
    std::unordered_map<std::string, std::string> table_;
    std::vector<std::size_t> lengths_;  // distinct key lengths, longest first
};

// The host's wording, taken over from the settings and the two lists on
// every save. An empty template keeps the built-in wording.
struct AnnouncementTexts {
    std::string chat;     // {name} {text}
    std::string gift;     // {name} {count} {gift} {price}
    std::string welcome;  // {name}
    std::string follow;   // {name}
    std::string paid;     // {name} {text} {price}
    // A gift whose value (in the platform's unit) is known and below this is
    // not thanked; 0 thanks every gift.
    std::int64_t minGiftValue = 0;
    std::shared_ptr<const Replacements> nicknames;
    std::shared_ptr<const Replacements> words;
};

// "<name>的醒目留言<price>元:<text>", the built-in wording of a paid message
// whose amount the platform gives.
std::string paidText(std::string_view name, std::int64_t price, std::string_view text);
