#include "platforms/historic/panda/panda_protocol.h"

#include "util/bounded_json.h"
#include "util/text.h"

namespace panda {

namespace pt = boost::property_tree;

namespace {

std::uint16_t bigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void appendBigEndian16(std::string& out, std::size_t value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

}  // namespace

std::optional<ChatInfo> parseChatInfo(std::string_view body) {
    pt::ptree root;
    if (!util::readBoundedJson(body, root)) {
        return std::nullopt;
    }
    try {
        const pt::ptree& data = root.get_child("data");
        ChatInfo info;
        info.rid = data.get<std::string>("rid");
        info.appid = data.get<std::string>("appid");
        info.ts = data.get<std::string>("ts");
        info.sign = data.get<std::string>("sign");
        info.authtype = data.get<std::string>("authtype");
        for (const auto& item : data.get_child("chat_addr_list")) {
            const std::string& text = item.second.data();
            auto colon = text.find(':');
            ServerEntry entry;
            entry.address = text.substr(0, colon);
            entry.port =
                colon == std::string::npos ? 0 : util::parseDecimal(std::string_view(text).substr(colon + 1));
            info.servers.push_back(std::move(entry));
        }
        return info;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string chatInfoUrl(const std::string& host, const std::string& roomId) {
    return host + "/ajax_chatinfo?roomid=" + roomId + "&retry=0";
}

std::string loginText(const ChatInfo& info) {
    return "u:" + info.rid + "@" + info.appid + "\nk:1\nt:300\nts:" + info.ts + "\nsign:" + info.sign +
           "\nauthtype:3";
}

std::string buildLoginPacket(const ChatInfo& info) {
    std::string text = loginText(info);
    // The length field has 16 bits; credentials long enough to overflow it
    // would make the server misread the stream, so the text is cut to fit.
    if (text.size() > 0xFFFF) {
        text.resize(0xFFFF);
    }
    std::string packet("\x00\x06\x00\x02", 4);
    appendBigEndian16(packet, text.size());
    packet += text;
    return packet;
}

std::string heartbeatPacket() {
    return std::string("\x00\x06\x00\x00", 4);
}

NextRead afterHeadRead(PandaFrame& frame) {
    const auto* h = frame.data.data();
    int extension = -1;
    if (h[1] == 0x06 && h[3] == 0x06) {
        frame.kind = PandaFrame::LoginAnswer;
        extension = 2;
    } else if (h[1] == 0x06 && h[3] == 0x03) {
        frame.kind = PandaFrame::MessageBatch;
        extension = 11;
    }
    if (extension < 0) {
        frame.kind = PandaFrame::Bare;
        frame.extensionLength = 0;
        frame.bodyLength = 0;
        frame.stage = 0;
    } else {
        frame.extensionLength = extension;
        if (frame.stage == 0) {
            frame.stage = 1;
        } else {
            frame.stage = 2;
            frame.bodyLength = bigEndian16(h + kHeaderLength + extension - 2);
        }
    }
    if (frame.bodyLength > kMaxBodyLength) {
        frame.bodyLength = 0;
        frame.stage = 0;
        return {NextRead::Broken, 0, 0};
    }
    switch (frame.stage) {
        case 1:
            return {NextRead::Extension, kHeaderLength, static_cast<std::size_t>(frame.extensionLength)};
        case 2:
            return {NextRead::Body, kHeaderLength + frame.extensionLength,
                    static_cast<std::size_t>(frame.bodyLength)};
        default:
            return {NextRead::Header, 0, kHeaderLength};
    }
}

void forEachBatchRecord(std::string_view body, const std::function<void(std::string_view)>& record) {
    constexpr std::size_t kSkipped = 14;
    constexpr std::size_t kRecordHead = kSkipped + 2;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
    for (std::size_t start = kRecordHead; start < body.size();) {
        std::size_t length = bigEndian16(bytes + start - 2);
        record(body.substr(start, length));  // substr cuts at the body's end
        start += length + kRecordHead;
    }
}

std::optional<Message> parseMessage(std::string_view json) {
    pt::ptree root;
    if (!util::readBoundedJson(json, root)) {
        return std::nullopt;
    }
    try {
        int type = root.get<int>("type");
        Message m;
        switch (type) {
            case 1:
                m.kind = Message::Chat;
                m.name = util::utf8ToLocal(root.get<std::string>("data.from.nickName"));
                m.text = util::trimCopy(util::utf8ToLocal(root.get<std::string>("data.content")));
                return m;
            case 206:
                m.kind = Message::Gift;
                m.name = util::utf8ToLocal(root.get<std::string>("data.from.nickName"));
                m.text = util::utf8ToLocal("竹子");
                m.count = util::parseDecimal(root.get<std::string>("data.content"));
                return m;
            case 306: {
                m.kind = Message::Gift;
                m.name = util::utf8ToLocal(root.get<std::string>("data.from.nickName"));
                const pt::ptree& content = root.get_child("data.content");
                m.text = util::utf8ToLocal(content.get<std::string>("name"));
                m.count = content.get<std::int32_t>("count");
                content.get<std::int32_t>("price");  // required, though never delivered
                return m;
            }
            default:
                return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace panda
