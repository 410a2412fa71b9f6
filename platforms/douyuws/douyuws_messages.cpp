#include "platforms/douyuws/douyuws_messages.h"

#include "util/text.h"

namespace douyuws {

namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (auto found = text.find(from); found != std::string_view::npos; found = text.find(from, at)) {
        out.append(text.substr(at, found - at));
        out.append(to);
        at = found + from.size();
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace

std::string unescape(std::string_view value) {
    return replaceAll(replaceAll(value, "@S", "/"), "@A", "@");
}

std::string escape(std::string_view value) {
    return replaceAll(replaceAll(value, "@", "@A"), "/", "@S");
}

std::vector<Item> splitItems(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<Item> items;
    std::size_t begin = 0;
    while (begin < text.size()) {
        auto end = text.find('/', begin);
        if (end == std::string_view::npos) {
            end = text.size();  // a last item without its '/'
        }
        std::string_view piece = text.substr(begin, end - begin);
        auto separator = piece.find("@=");
        if (separator != std::string_view::npos) {
            items.push_back({unescape(piece.substr(0, separator)), unescape(piece.substr(separator + 2))});
        }
        begin = end + 1;
    }
    return items;
}

std::string_view valueOf(const std::vector<Item>& items, std::string_view key) {
    for (const auto& item : items) {
        if (item.key == key) {
            return item.value;
        }
    }
    return {};
}

Event parseEvent(std::string_view text) {
    // Values are cut and unescaped while the text is UTF-8, whose multi-byte
    // characters never contain '@' or '/'; only then do they become GBK, where
    // a trail byte may equal either.
    auto items = splitItems(text);
    Event event;
    event.roomId = util::trimCopy(valueOf(items, "rid"));
    std::string_view type = valueOf(items, "type");
    if (type == "loginres") {
        event.kind = Event::Kind::LoginAccepted;
    } else if (type == "error") {
        event.kind = Event::Kind::Refused;
        event.text = util::utf8ToLocal(valueOf(items, "code"));
    } else if (type == "chatmsg") {
        event.kind = Event::Kind::Chat;
        event.name = util::utf8ToLocal(valueOf(items, "nn"));
        event.text = util::trimCopy(util::utf8ToLocal(valueOf(items, "txt")));
    } else if (type == "uenter") {
        event.kind = Event::Kind::Enter;
        event.name = util::utf8ToLocal(valueOf(items, "nn"));
    } else if (type == "dgb") {
        event.kind = Event::Kind::Gift;
        event.name = util::utf8ToLocal(valueOf(items, "nn"));
        event.giftId = util::trimCopy(valueOf(items, "gfid"));
        event.text = util::trimCopy(util::utf8ToLocal(valueOf(items, "gfn")));
        std::int32_t count = util::parseDecimal(util::trimCopy(valueOf(items, "gfcnt")));
        event.count = count > 0 ? count : 1;
    } else if (type == "comm_chatmsg") {
        // splitItems has undone the outer level of escaping; the record's own
        // items are unescaped once more as they are split.
        auto record = splitItems(valueOf(items, "chatmsg"));
        std::string line = util::trimCopy(util::utf8ToLocal(valueOf(record, "txt")));
        if (!line.empty()) {
            event.kind = Event::Kind::PaidChat;
            event.name = util::utf8ToLocal(valueOf(record, "nn"));
            event.text = std::move(line);
        }
    }
    return event;
}

bool isFromOtherRoom(const Event& event, std::string_view joinedRoom) {
    return !event.roomId.empty() && event.roomId != joinedRoom;
}

std::string loginText(const std::string& roomId) {
    return "type@=loginreq/roomid@=" + escape(roomId) + "/";
}

std::string joinGroupText(const std::string& roomId) {
    return "type@=joingroup/rid@=" + escape(roomId) + "/gid@=-9999/";
}

std::string keepAliveText() {
    return "type@=mrkl/";
}

}  // namespace douyuws
