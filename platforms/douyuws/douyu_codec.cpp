#include "platforms/douyuws/douyu_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "util/text.h"

namespace douyu {

namespace {

void putLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

void fillPacket(DouyuPacket& packet, std::string_view text) {
    std::size_t copied = std::min<std::size_t>(text.size(), kMaxBody);
    std::memcpy(packet.body.data(), text.data(), copied);
    std::size_t length = copied;
    if (length < kMaxBody) {
        packet.body[length++] = '\0';
    }
    packet.bodyLength = static_cast<std::uint32_t>(length);
    putLe32(&packet.header[0], packet.bodyLength + 8);
    putLe32(&packet.header[4], packet.bodyLength + 8);
    packet.header[8] = static_cast<std::uint8_t>(kClientMessageType & 0xFF);
    packet.header[9] = static_cast<std::uint8_t>(kClientMessageType >> 8);
    packet.header[10] = 0;
    packet.header[11] = 0;
}

std::string frameText(std::string_view text) {
    auto packet = std::make_unique<DouyuPacket>();
    fillPacket(*packet, text);
    std::string frame(reinterpret_cast<const char*>(packet->header.data()), kHeaderSize);
    frame.append(packet->body.data(), packet->bodyLength);
    return frame;
}

std::optional<std::uint32_t> bodyLengthOf(const std::uint8_t* header) {
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(header[i]) << (8 * i);
    }
    if (length < 8 || length - 8 > kMaxBody) {
        return std::nullopt;
    }
    return length - 8;
}

std::string_view findValue(std::string_view text, std::string_view key, std::string_view terminator) {
    auto at = text.find(key);
    if (at == std::string_view::npos) {
        return {};
    }
    auto begin = at + key.size();
    auto end = text.find(terminator, begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::int32_t findNumber(std::string_view text, std::string_view key) {
    return util::parseDecimal(util::trimCopy(findValue(text, key)));
}

bool isType(std::string_view text, std::string_view name) {
    std::string needle = "type@=";
    needle += name;
    return text.find(needle) != std::string_view::npos;
}

}  // namespace douyu
