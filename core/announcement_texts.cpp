#include "core/announcement_texts.h"

#include <algorithm>

#include "core/speech_service.h"
#include "util/gbk.h"
#include "util/text.h"

std::string expandTemplate(std::string_view pattern, const TemplateFields& fields) {
    static constexpr std::pair<std::string_view, std::string_view TemplateFields::*> kNames[] = {
        {"{name}", &TemplateFields::name},   {"{text}", &TemplateFields::text},
        {"{count}", &TemplateFields::count}, {"{gift}", &TemplateFields::gift},
        {"{price}", &TemplateFields::price},
    };
    // Enough bytes for the ceiling's characters: a 10 KB template stops
    // being copied once the announcement is full.
    const std::size_t enough = kMaxAnnouncementChars * 2 + 8;
    std::string out;
    std::size_t from = 0;
    while (from < pattern.size() && out.size() < enough) {
        // A brace counts only where a character starts: a GBK trail byte
        // may equal "{".
        std::size_t open = util::gbkFind(pattern, "{", from);
        if (open == std::string_view::npos) {
            out.append(pattern.substr(from));
            break;
        }
        out.append(pattern.substr(from, open - from));
        from = open + 1;
        out += '{';
        for (const auto& [placeholder, field] : kNames) {
            if (pattern.substr(open, placeholder.size()) == placeholder) {
                out.pop_back();
                out.append(fields.*field);
                from = open + placeholder.size();
                break;
            }
        }
    }
    return withinCeiling(std::move(out));
}

std::size_t Replacements::addLines(const std::vector<std::string>& lines) {
    std::size_t skipped = 0;
    for (const std::string& line : lines) {
        const std::size_t split = util::gbkFind(line, "=");
        std::string from = split == std::string::npos ? std::string() : util::trimCopy(line.substr(0, split));
        if (from.empty() || from.size() > kMaxKeyBytes) {
            ++skipped;
            continue;
        }
        table_[std::move(from)] = util::trimCopy(std::string_view(line).substr(split + 1));
    }
    lengths_.clear();
    for (const auto& entry : table_) {
        lengths_.push_back(entry.first.size());
    }
    std::sort(lengths_.begin(), lengths_.end(), std::greater<>());
    lengths_.erase(std::unique(lengths_.begin(), lengths_.end()), lengths_.end());
    return skipped;
}

std::string_view Replacements::wholeName(std::string_view name) const {
    if (table_.empty() || name.size() > kMaxKeyBytes) {
        return name;
    }
    auto it = table_.find(std::string(name));
    return it == table_.end() ? name : std::string_view(it->second);
}

std::string Replacements::words(std::string_view text) const {
    if (table_.empty()) {
        return std::string(text);
    }
    // Replacements may be longer than what they replace: once the
    // announcement ceiling is surely full, the rest would be cut anyway.
    const std::size_t enough = kMaxAnnouncementChars * 2;
    std::string out;
    std::string key;
    std::size_t at = 0;
    while (at < text.size() && out.size() < enough) {
        bool replaced = false;
        for (std::size_t length : lengths_) {
            if (length > text.size() - at) {
                continue;
            }
            key.assign(text.substr(at, length));
            auto it = table_.find(key);
            // A key must end on a character boundary of the text too.
            if (it != table_.end() && util::gbkPrefix(text.substr(at), length).size() == length) {
                out += it->second;
                at += length;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            const std::size_t step = util::gbkCharWidth(text, at);
            out.append(text.substr(at, step));
            at += step;
        }
    }
    return out;
}

std::string paidText(std::string_view name, std::int64_t price, std::string_view text) {
    static const std::string paid = util::utf8ToLocal("的醒目留言");
    static const std::string yuan = util::utf8ToLocal("元:");
    std::string out(util::gbkPrefixChars(name, kMaxSpokenNameChars));
    out += paid;
    out += std::to_string(price);
    out += yuan;
    out += text;
    return withinCeiling(std::move(out));
}
