#include "platforms/historic/longzhu/longzhu_reply.h"

#include <array>
#include <boost/optional.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdio>
#include <utility>

#include "util/bounded_json.h"
#include "util/text.h"

namespace longzhu {

namespace {

using boost::property_tree::ptree;

// The JSON reader keeps every scalar as text, so "a number" means a leaf whose
// text converts to T in full (no fraction, no overflow, no trailing letters).
template <typename T>
bool readNumber(const ptree& node, const char* path, T& out) {
    auto child = node.get_child_optional(path);
    if (!child || !child->empty()) {
        return false;
    }
    auto value = child->get_value_optional<T>();
    if (!value) {
        return false;
    }
    out = *value;
    return true;
}

// A string field, converted to GBK; an object or array in its place is refused.
bool readText(const ptree& node, const char* path, std::string& out) {
    auto child = node.get_child_optional(path);
    if (!child || !child->empty()) {
        return false;
    }
    out = util::utf8ToLocal(child->data());
    return true;
}

// One element of "msgs". False when a field that its type needs is missing or
// malformed; `delivered` is false for the types we skip.
bool decodeMessage(const ptree& item, Message& message, bool& delivered) {
    delivered = false;
    std::string type;
    if (!readText(item, "type", type)) {
        return false;
    }
    if (type == "chat") {
        message.kind = Message::Kind::Chat;
        if (!readText(item, "msg.content", message.text) ||
            !readText(item, "msg.user.username", message.nickname)) {
            return false;
        }
    } else if (type == "gift") {
        message.kind = Message::Kind::Gift;
        std::string key;
        if (!readText(item, "msg.itemType", key) || !readNumber(item, "msg.number", message.count) ||
            !readText(item, "msg.user.username", message.nickname)) {
            return false;
        }
        message.text = giftName(key);
    } else {
        return true;
    }
    delivered = true;
    return true;
}

}  // namespace

Reply decodeReply(std::string_view body) {
    Reply reply;
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return reply;
    }

    reply.status = ReplyStatus::Malformed;
    if (!readNumber(root, "next", reply.next) || !readNumber(root, "from", reply.from)) {
        return reply;
    }
    reply.hasCursor = true;
    long long count = 0;
    if (!readNumber(root, "count", count)) {
        return reply;
    }
    if (count != 0) {
        auto msgs = root.get_child_optional("msgs");
        if (!msgs || !msgs->data().empty()) {
            return reply;
        }
        for (const auto& [key, item] : *msgs) {
            Message message;
            bool delivered = false;
            if (!key.empty() || !decodeMessage(item, message, delivered)) {
                return reply;
            }
            if (delivered) {
                reply.messages.push_back(std::move(message));
            }
        }
    }
    reply.status = ReplyStatus::Ok;
    return reply;
}

std::string giftName(std::string_view key) {
    static constexpr std::array<std::pair<std::string_view, const char*>, 18> kNames{{
        {"flower", "鲜花"},
        {"dragon0513", "龙蛋"},
        {"admire", "赞"},
        {"cute", "萌"},
        {"godlike", "神"},
        {"liu", "溜"},
        {"donate", "赏"},
        {"hsl", "猴塞雷"},
        {"yuwan", "鱼丸"},
        {"newbangbangtang", "棒棒糖"},
        {"xiaoxiongmao", "小熊猫"},
        {"wu", "污"},
        {"baojing", "报警"},
        {"chocolates", "巧克力"},
        {"rose003", "玫瑰"},
        {"sportscar", "跑车"},
        {"banana", "蕉"},
        {"jp", "巨炮"},
    }};
    for (const auto& [itemType, name] : kNames) {
        if (key == itemType) {
            return util::utf8ToLocal(name);
        }
    }
    return std::string(key);
}

std::int32_t chatRoomIdFromPage(std::string_view page) {
    static constexpr std::string_view kMarker = "\"RoomId\":";
    auto at = page.find(kMarker);
    if (at == std::string_view::npos) {
        return 0;
    }
    std::string_view rest = page.substr(at + kMarker.size());
    return util::parseDecimal(rest.substr(0, rest.find(',')));
}

std::string pollPath(std::int32_t chatRoomId, std::int64_t from, std::int32_t next) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "/chatroom/msgsv2/%d/%lld/%d/", static_cast<int>(chatRoomId),
                  static_cast<long long>(from), static_cast<int>(next));
    return buffer;
}

}  // namespace longzhu
