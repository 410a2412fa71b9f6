#include "sim/douyuws/douyu_frames.h"

namespace sim {

namespace {

constexpr std::uint16_t kServerMessageType = 690;

}  // namespace

std::string douyuServerHeader(std::uint32_t length) {
    std::string h(12, '\0');
    for (int i = 0; i < 4; ++i) {
        h[i] = static_cast<char>(length >> (8 * i));
        h[4 + i] = static_cast<char>(length >> (8 * i));
    }
    h[8] = static_cast<char>(kServerMessageType & 0xFF);
    h[9] = static_cast<char>(kServerMessageType >> 8);
    return h;
}

std::string douyuServerFrame(const std::string& text) {
    std::string body = text;
    body += '\0';
    return douyuServerHeader(static_cast<std::uint32_t>(body.size() + 8)) + body;
}

std::string douyuEscape(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '@') {
            out += "@A";
        } else if (c == '/') {
            out += "@S";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace sim
