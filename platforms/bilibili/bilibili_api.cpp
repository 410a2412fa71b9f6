#include "platforms/bilibili/bilibili_api.h"

#include <charconv>

#include "platforms/bilibili/bilibili_wbi.h"
#include "util/json_reader.h"
#include "util/text.h"

namespace bilibili {

namespace {

using util::JsonReader;

// Room ids and user ids are positive and fit 53 bits; anything else is not one.
std::optional<std::int64_t> positive(std::optional<std::int64_t> value) {
    return value && *value > 0 ? value : std::nullopt;
}

// API answers are a few kilobytes; one of a megabyte, or a host list of
// thousands, is not one.
constexpr util::JsonLimits kAnswerLimits{1u << 20, 32, 20'000};
constexpr std::size_t kMaxHosts = 64;

// An answer whose shape the reader accepts, opened in `json`.
bool openAnswer(JsonReader& json, std::string_view body) {
    return json.open(body) && json.check() == util::JsonShape::Ok;
}

int port(util::JsonValue value) {
    auto number = positive(util::jsonInteger(value));
    return number && *number <= 65535 ? static_cast<int>(*number) : 0;
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
    JsonReader json(kAnswerLimits);
    if (!openAnswer(json, body)) {
        return {};
    }
    auto status = json.integer("/code");
    if (status && *status == kNoSuchRoom) {
        return {RoomLookup::NoSuchRoom, 0};
    }
    auto id = positive(json.integer("/data/room_id"));
    if (!status || *status != 0 || !id) {
        return {};
    }
    return {RoomLookup::Found, *id};
}

std::optional<NavInfo> parseNav(std::string_view body) {
    JsonReader json(kAnswerLimits);
    if (!openAnswer(json, body)) {
        return std::nullopt;
    }
    NavInfo info;
    info.imgKey = wbiKeyFromUrl(json.text("/data/wbi_img/img_url").value_or(""));
    info.subKey = wbiKeyFromUrl(json.text("/data/wbi_img/sub_url").value_or(""));
    if (mixinKey(info.imgKey, info.subKey).empty()) {
        return std::nullopt;
    }
    info.code = json.integer("/code").value_or(kNotLoggedIn);
    info.isLogin = info.code == 0 && json.boolean("/data/isLogin").value_or(false);
    if (info.isLogin) {
        info.mid = positive(json.integer("/data/mid")).value_or(0);
    }
    return info;
}

std::string parseBuvid(std::string_view body) {
    JsonReader json(kAnswerLimits);
    return openAnswer(json, body) ? json.text("/data/b_3").value_or("") : std::string();
}

DanmuInfo parseDanmuInfo(std::string_view body) {
    JsonReader json(kAnswerLimits);
    if (!openAnswer(json, body)) {
        return {};
    }
    auto status = json.integer("/code");
    if (status && (*status == kRiskControl || *status == kPrecondition)) {
        return {DanmuInfo::Refused, {}, {}, *status};
    }
    if (!status || *status != 0) {
        return {};
    }
    if (json.has("/data/v_voucher")) {
        return {DanmuInfo::Refused, {}, {}};
    }
    DanmuInfo info;
    info.token = json.text("/data/token").value_or("");
    json.forEach("/data/host_list", kMaxHosts, [&](util::JsonValue entry) {
        ChatHost host{util::jsonText(entry["host"]).value_or(""), port(entry["ws_port"]),
                      port(entry["wss_port"])};
        if (!host.host.empty()) {
            info.hosts.push_back(std::move(host));
        }
        return true;
    });
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
    JsonReader json(kAnswerLimits);
    return openAnswer(json, body) && json.integer("/code") == 0;
}

std::optional<long long> authReplyCode(std::string_view body) {
    JsonReader json(kAnswerLimits);
    if (!openAnswer(json, body)) {
        return std::nullopt;
    }
    return json.integer("/code");
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
    std::string text = util::trimCopy(typed);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return positive(value);
}

}  // namespace bilibili
