#include "platforms/historic/douyu/douyu_messages.h"

#include <ctime>
#include <limits>

#include "platforms/douyuws/douyu_codec.h"
#include "util/md5.h"
#include "util/text.h"

namespace douyu {

namespace {

constexpr std::string_view kRoomIdMarker = "room_id\":";
constexpr std::string_view kAddressMarker = "ip\":\"";
constexpr std::string_view kPortMarker = "port\":\"";

const std::string& gbk(const char* utf8, std::string& cache) {
    if (cache.empty()) {
        cache = util::utf8ToLocal(utf8);
    }
    return cache;
}

std::string giftName(std::int32_t kind) {
    static thread_local std::string fishBall, heart, like, six, plane, gift;
    switch (kind) {
        case 1:
            return gbk("鱼丸", fishBall);
        case 2:
            return gbk("520", heart);
        case 3:
            return gbk("赞", like);
        case 4:
            return gbk("666", six);
        case 5:
        case 6:
            return gbk("飞机", plane);
        default:
            return gbk("礼物", gift);
    }
}

std::string rewardName(std::int32_t level) {
    static thread_local std::string low, middle, high;
    switch (level) {
        case 1:
            return gbk("低级酬勤", low);
        case 2:
            return gbk("中级酬勤", middle);
        case 3:
            return gbk("高级酬勤", high);
        default:
            return {};
    }
}

// Kind 1 gifts count in hundreds; a count near the 32-bit limit saturates
// instead of wrapping into a negative number.
std::int32_t scaledCount(std::int32_t count, std::int32_t factor) {
    std::int64_t scaled = static_cast<std::int64_t>(count) * factor;
    if (scaled > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (scaled < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(scaled);
}

}  // namespace

bool parseRoomPage(std::string_view page, std::string& roomId, std::vector<ServerEntry>& servers) {
    servers.clear();
    auto marker = page.find(kRoomIdMarker);
    if (marker == std::string_view::npos) {
        return false;
    }
    auto idBegin = marker + kRoomIdMarker.size();
    auto comma = page.find(',', idBegin);
    if (comma == std::string_view::npos) {
        return false;
    }
    roomId = std::string(page.substr(idBegin, comma - idBegin));

    auto config = page.rfind("server_config");
    if (config == std::string_view::npos) {
        return false;
    }
    auto colon = page.find(':', config);
    if (colon == std::string_view::npos) {
        return false;
    }
    auto close = page.find("};", colon);
    if (close == std::string_view::npos) {
        return false;
    }
    std::string decoded = util::urlDecode(page.substr(colon, close + 1 - colon));

    auto f = decoded.find(kAddressMarker);
    while (f != std::string::npos) {
        auto addressBegin = f + kAddressMarker.size();
        auto addressEnd = decoded.find('"', addressBegin);
        std::string address = util::trimCopy(std::string_view(decoded).substr(
            addressBegin, addressEnd == std::string::npos ? std::string::npos : addressEnd - addressBegin));
        auto portMarker = decoded.find(kPortMarker, f);
        if (portMarker == std::string::npos) {
            break;
        }
        auto portBegin = portMarker + kPortMarker.size();
        auto portEnd = decoded.find('"', portBegin);
        int port = util::parseDecimal(util::trimCopy(std::string_view(decoded).substr(
            portBegin, portEnd == std::string::npos ? std::string::npos : portEnd - portBegin)));
        if (!address.empty() && port > 0) {
            servers.push_back({std::move(address), port});
        }
        f = decoded.find(kAddressMarker, portBegin);
    }
    return !servers.empty();
}

Message parseMessage(std::string_view text) {
    // Every value is cut from the UTF-8 text and converted on its own. In UTF-8
    // every byte of a multi-byte character is 0x80 or above, so an ASCII key or
    // delimiter never matches inside one; in GBK a second byte may equal '@'
    // or '/' and would split a nickname mid-character. Apart from chat lines,
    // values are read up to the text's first zero byte, where a conversion of
    // the whole text would end.
    const std::string_view whole = text.substr(0, text.find('\0'));
    auto local = [](std::string_view from, std::string_view key, std::string_view terminator = "/") {
        return util::utf8ToLocal(findValue(from, key, terminator));
    };
    Message m;
    if (isType(text, "loginres")) {
        m.kind = Message::Kind::LoginResponse;
    } else if (isType(text, "chatmessage")) {
        m.kind = Message::Kind::Chat;
        m.name = local(text, "snick@=");
        m.text = util::trimCopy(local(text, "content@="));
    } else if (isType(text, "keeplive") || isType(text, "blackres")) {
        m.kind = Message::Kind::Ignored;
    } else if (isType(text, "userenter")) {
        m.kind = Message::Kind::Enter;
        m.name = local(whole, "nick@A=", "@");
    } else if (isType(text, "dgn")) {
        std::int32_t kind = findNumber(whole, "gs@=");
        m.kind = Message::Kind::Gift;
        m.name = local(whole, "src_ncnm@=");
        m.text = giftName(kind);
        m.count = scaledCount(findNumber(whole, "gfcnt@="), kind == 1 ? 100 : 1);
    } else if (isType(text, "donateres")) {
        m.kind = Message::Kind::Gift;
        m.name = local(whole, "nick@A=", "@");
        m.text = giftName(1);
        m.count = findNumber(whole, "ms@=");
    } else if (isType(text, "bc_buy_deserve")) {
        m.kind = Message::Kind::Gift;
        m.name = local(whole, "nick@A=", "@S");
        m.text = rewardName(findNumber(whole, "lev@="));
        m.count = findNumber(whole, "cnt@=");
    }
    return m;
}

bool hasUserName(std::string_view text) {
    return text.find("username@") != std::string_view::npos;
}

std::string userNameOf(std::string_view text) {
    auto key = text.find("username@");
    if (key == std::string_view::npos) {
        return {};
    }
    auto equals = text.find('=', key);
    if (equals == std::string_view::npos) {
        return {};
    }
    auto end = text.find('/', equals + 1);
    return util::trimCopy(
        text.substr(equals + 1, end == std::string_view::npos ? std::string_view::npos : end - equals - 1));
}

std::vector<std::string> chatPortsOf(std::string_view text) {
    constexpr std::string_view key = "port@AA=";
    std::vector<std::string> ports;
    for (auto at = text.find(key); at != std::string_view::npos; at = text.find(key, at + key.size())) {
        std::string port = util::trimCopy(findValue(text.substr(at), key, "@"));
        if (!port.empty()) {
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

std::string groupIdOf(std::string_view text) {
    constexpr std::string_view key = "gid@=";
    auto at = text.find(key);
    if (at == std::string_view::npos) {
        return {};
    }
    auto begin = at + key.size();
    auto last = text.rfind('/');
    // A group item that closes the text without its '/' runs to the end.
    auto length = (last == std::string_view::npos || last < begin) ? std::string_view::npos : last - begin;
    return util::trimCopy(text.substr(begin, length));
}

std::int64_t localClockSeconds(std::int64_t utcSeconds) {
    std::time_t utc = static_cast<std::time_t>(utcSeconds);
    std::tm broken{};
    if (!gmtime_r(&utc, &broken)) {
        return utcSeconds;
    }
    broken.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&broken));
}

std::string authLoginText(const std::string& roomId, std::int64_t rt) {
    std::string rtText = std::to_string(rt);
    return "type@=loginreq/username@=/ct@=0/password@=/roomid@=" + roomId +
           "/devid@=A1B2C3D4E5F60718293A4B5C6D7E8F90/rt@=" + rtText + "/vk@=" + util::md5Hex(rtText) +
           "/ver@=20150929/";
}

std::string chatLoginText(const std::string& userName, const std::string& roomId) {
    return "type@=loginreq/username@=" + userName +
           "/password@=8642097531864209/roompass@=/roomid@=" + roomId;
}

std::string joinGroupText(const std::string& roomId, const std::string& groupId) {
    return "type@=joingroup/rid@=" + roomId + "/gid@=" + groupId + "/";
}

std::string authKeepAliveText(std::int64_t localSeconds) {
    return "type@=keeplive/tick@=" + std::to_string(static_cast<std::uint64_t>(localSeconds)) + "/";
}

std::string chatKeepAliveText(std::uint64_t tickMs) {
    // The servers take the millisecond count as a signed 32-bit number that wraps.
    auto tick = static_cast<std::int32_t>(static_cast<std::uint32_t>(tickMs));
    return "type@=keeplive/tick@=" + std::to_string(tick) + "/";
}

}  // namespace douyu
