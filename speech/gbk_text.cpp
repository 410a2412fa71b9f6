#include "speech/gbk_text.h"

#include "core/speech_service.h"
#include "util/gbk.h"
#include "util/text.h"

namespace speech {

std::string truncateGbk(std::string_view text, std::size_t maxBytes) {
    return std::string(util::gbkPrefix(text, maxBytes));
}

std::string thankYouText(std::string_view name, std::int32_t count, std::string_view gift,
                         std::size_t maxBytes) {
    static const std::string thanks = util::utf8ToLocal("感谢");
    static const std::string gave = util::utf8ToLocal("赠送的");
    static const std::string measure = util::utf8ToLocal("个");
    std::string text = thanks;
    text += util::gbkPrefixChars(name, kMaxSpokenNameChars);
    text += gave;
    text += std::to_string(count);
    text += measure;
    text += util::gbkPrefixChars(gift, kMaxSpokenNameChars);
    return text.size() <= maxBytes ? text : truncateGbk(text, maxBytes);
}

}  // namespace speech
