#include "speech/gbk_text.h"

#include "util/text.h"

namespace speech {

std::string truncateGbk(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t width = static_cast<unsigned char>(text[end]) >= 0x81 && end + 1 < text.size() ? 2 : 1;
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    return std::string(text.substr(0, end));
}

std::string thankYouText(std::string_view name, std::int32_t count, std::string_view gift,
                         std::size_t maxBytes) {
    static const std::string thanks = util::utf8ToLocal("感谢");
    static const std::string gave = util::utf8ToLocal("赠送的");
    static const std::string measure = util::utf8ToLocal("个");
    std::string text = thanks;
    text += name;
    text += gave;
    text += std::to_string(count);
    text += measure;
    text += gift;
    return text.size() <= maxBytes ? text : truncateGbk(text, maxBytes);
}

}  // namespace speech
