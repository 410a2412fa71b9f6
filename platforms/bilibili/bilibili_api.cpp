#include "platforms/bilibili/bilibili_api.h"

#include <boost/property_tree/ptree.hpp>
#include <charconv>

#include "platforms/bilibili/bilibili_wbi.h"
#include "util/bounded_json.h"
#include "util/text.h"

namespace bilibili {

namespace {

using boost::property_tree::ptree;

// Room ids and user ids are positive and fit 53 bits; anything else is not one.
std::optional<std::int64_t> positive(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> code(const ptree& root) {
    auto text = root.get_optional<std::string>("code");
    if (!text) {
        return std::nullopt;
    }
    long long value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) {
        return std::nullopt;
    }
    return value;
}

int port(const ptree& entry, const char* key) {
    auto value = positive(entry.get<std::string>(key, ""));
    return value && *value <= 65535 ? static_cast<int>(*value) : 0;
}

// JSON string contents: the texts put in come from the servers.
std::string jsonEscaped(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

constexpr long long kNoSuchRoom = 60004;
constexpr long long kRiskControl = -352;
constexpr long long kPrecondition = -412;

}  // namespace

RoomLookup parseRoomInit(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return {};
    }
    auto status = code(root);
    if (status && *status == kNoSuchRoom) {
        return {RoomLookup::NoSuchRoom, 0};
    }
    auto id = positive(root.get<std::string>("data.room_id", ""));
    if (!status || *status != 0 || !id) {
        return {};
    }
    return {RoomLookup::Found, *id};
}

std::optional<NavInfo> parseNav(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return std::nullopt;
    }
    NavInfo info;
    info.imgKey = wbiKeyFromUrl(root.get<std::string>("data.wbi_img.img_url", ""));
    info.subKey = wbiKeyFromUrl(root.get<std::string>("data.wbi_img.sub_url", ""));
    if (mixinKey(info.imgKey, info.subKey).empty()) {
        return std::nullopt;
    }
    info.loggedIn = root.get<std::string>("data.isLogin", "") == "true";
    if (info.loggedIn) {
        info.mid = positive(root.get<std::string>("data.mid", "")).value_or(0);
    }
    return info;
}

std::string parseBuvid(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return {};
    }
    return root.get<std::string>("data.b_3", "");
}

DanmuInfo parseDanmuInfo(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return {};
    }
    auto status = code(root);
    if (status && (*status == kRiskControl || *status == kPrecondition)) {
        return {DanmuInfo::Refused, {}, {}, *status};
    }
    if (!status || *status != 0) {
        return {};
    }
    if (root.get_child_optional("data.v_voucher")) {
        return {DanmuInfo::Refused, {}, {}};
    }
    DanmuInfo info;
    info.token = root.get<std::string>("data.token", "");
    if (auto list = root.get_child_optional("data.host_list")) {
        for (const auto& [key, entry] : *list) {
            ChatHost host{entry.get<std::string>("host", ""), port(entry, "ws_port"),
                          port(entry, "wss_port")};
            if (key.empty() && !host.host.empty()) {
                info.hosts.push_back(std::move(host));
            }
        }
    }
    if (info.token.empty() || info.hosts.empty()) {
        return {};
    }
    info.status = DanmuInfo::Ok;
    return info;
}

std::string authBody(std::int64_t uid, std::int64_t roomId, std::string_view buvid, std::string_view token) {
    return "{\"uid\":" + std::to_string(uid) + ",\"roomid\":" + std::to_string(roomId) +
           ",\"protover\":3,\"buvid\":\"" + jsonEscaped(buvid) +
           "\",\"platform\":\"web\",\"type\":2,\"key\":\"" + jsonEscaped(token) + "\"}";
}

bool authAccepted(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return false;
    }
    auto status = code(root);
    return status && *status == 0;
}

std::optional<long long> authReplyCode(std::string_view body) {
    ptree root;
    if (!util::readBoundedJson(body, root)) {
        return std::nullopt;
    }
    return code(root);
}

std::string cookieValue(std::string_view cookieLine, std::string_view name) {
    std::size_t pos = 0;
    while (pos < cookieLine.size()) {
        std::size_t end = cookieLine.find(';', pos);
        std::string_view part = cookieLine.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? cookieLine.size() : end + 1;
        std::size_t equals = part.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        if (util::trimCopy(part.substr(0, equals)) == name) {
            return util::trimCopy(part.substr(equals + 1));
        }
    }
    return {};
}

std::optional<std::int64_t> parseRoomNumber(std::string_view typed) {
    return positive(util::trimCopy(typed));
}

}  // namespace bilibili
