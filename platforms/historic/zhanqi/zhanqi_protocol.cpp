#include "platforms/historic/zhanqi/zhanqi_protocol.h"

#include <cstdio>

#include "util/base64.h"
#include "util/bounded_json.h"
#include "util/text.h"

namespace zhanqi {

namespace pt = boost::property_tree;

namespace {

constexpr std::size_t kConfigurationLimit = 4096;
constexpr char kCommandMark = '#';

void appendLittleEndian16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

}  // namespace

std::string roomPageUrl(const std::string& host, const std::string& roomId) {
    return host + "/" + roomId;
}

std::string viewerUrl(const std::string& host) {
    return host + "/api/public/room.viewer";
}

int roomNumberFromPage(std::string_view page) {
    constexpr std::string_view marker = "id\":\"";
    auto begin = page.find(marker);
    if (begin == std::string_view::npos) {
        return 0;
    }
    begin += marker.size();
    auto end = page.find("\",", begin);
    return util::parseDecimal(
        page.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

std::optional<std::string> decodeBase64(std::string_view text, std::size_t limit) {
    return util::decodeBase64(text, util::Base64Mode::SkipInvalid, limit);
}

std::vector<ServerEntry> serversFromPage(std::string_view page) {
    constexpr std::string_view marker = "Servers\":";
    auto at = page.find(marker);
    if (at == std::string_view::npos || at + marker.size() + 1 > page.size()) {
        return {};
    }
    auto begin = at + marker.size() + 1;  // past the string's opening quote
    auto end = page.find("\",\"", begin);
    if (end == std::string_view::npos) {
        return {};
    }
    auto configuration = decodeBase64(page.substr(begin, end - begin), kConfigurationLimit);
    pt::ptree root;
    if (!configuration || !util::readBoundedJson(*configuration, root)) {
        return {};
    }
    std::vector<ServerEntry> servers;
    try {
        for (const auto& item : root.get_child("list")) {
            servers.push_back({item.second.get<std::string>("ip"), item.second.get<int>("port")});
        }
    } catch (const std::exception&) {
        return {};
    }
    return servers;
}

bool readViewer(std::string_view api, RoomInfo& info) {
    pt::ptree root;
    if (!util::readBoundedJson(api, root)) {
        return false;
    }
    try {
        const pt::ptree& data = root.get_child("data");
        int uid = data.get<int>("uid");
        int gid = data.get<int>("gid");
        std::string sid = data.get<std::string>("sid");
        auto timestamp = data.get<std::uint32_t>("timestamp");
        info.uid = uid;
        info.gid = gid;
        info.sid = std::move(sid);
        info.timestamp = timestamp;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

RoomInfo parseRoomInfo(std::string_view page, std::string_view api) {
    RoomInfo info;
    info.roomNumber = roomNumberFromPage(page);
    info.servers = serversFromPage(page);
    if (!readViewer(api, info)) {
        info.servers.clear();
    }
    return info;
}

std::string packPacket(std::string_view text, std::uint16_t kind) {
    text = text.substr(0, kMaxTextLength);
    std::string packet;
    packet.reserve(kHeaderLength + text.size());
    appendLittleEndian16(packet, 0xCCBB);
    appendLittleEndian16(packet, 0);
    appendLittleEndian16(packet, 0);
    appendLittleEndian16(packet, static_cast<std::uint16_t>(text.size()));
    appendLittleEndian16(packet, 0);
    appendLittleEndian16(packet, kind);
    packet += text;
    return packet;
}

std::string greetingPacket() {
    return packPacket(R"({"cmdid":"svrisokreq"})", kGreetingKind);
}

std::string loginPacket(const RoomInfo& info) {
    char text[2048];
    // The time stamp is unsigned: printed as a signed number, a value past
    // 2^31 would reach the server negative.
    std::snprintf(
        text, sizeof text,
        "{\"nickname\":\"\",\"uid\":%d,\"ver\":12,\"thirdaccount\":\"\",\"sid\":\"%s\",\"timestamp\":%u,"
        "\"fx\":0,\"t\":0,\"fhost\":\"%s\",\"cmdid\":\"loginreq\",\"roomid\":%d,\"gid\":%d,\"hideslv\":0}",
        info.uid, info.sid.c_str(), info.timestamp, "iphone", info.roomNumber, info.gid);
    return packPacket(text, kRequestKind);
}

std::string keepAlivePacket(int roomNumber) {
    char text[512];
    std::snprintf(text, sizeof text, "{\"roomid\":%d,\"vod\":0,\"cmdid\":\"getdefaultuc\"}", roomNumber);
    return packPacket(text, kRequestKind);
}

int packetTextLength(const std::uint8_t* header) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(header[6] | (header[7] << 8)));
}

Incoming handleText(std::string_view text, int roomNumber) {
    Incoming in;
    pt::ptree root;
    if (!util::readBoundedJson(text, root)) {
        in.action = Incoming::Unparseable;
        return in;
    }
    try {
        std::string command = root.get<std::string>("cmdid");
        if (command == "svrisokresp") {
            in.action = root.get<int>("ok") == 1 ? Incoming::GreetingAccepted : Incoming::GreetingRefused;
        } else if (command == "loginresp") {
            in.action = Incoming::LoggedIn;
        } else if (command == "chatmessage") {
            in.name = util::utf8ToLocal(root.get<std::string>("fromname"));
            in.text = util::utf8ToLocal(root.get<std::string>("content"));
            const auto* bytes = reinterpret_cast<const unsigned char*>(in.text.data());
            if (in.text.size() > 2 && bytes[0] == 0xA3 && bytes[1] - 0x80 == kCommandMark) {
                in.text = util::fullWidthToHalfWidth(in.text);
            }
            in.action = Incoming::Chat;
        } else if (command == "Gift.Use") {
            const pt::ptree& data = root.get_child("data");
            in.count = data.get<std::int32_t>("count");
            data.get<int>("id");
            in.text = util::utf8ToLocal(data.get<std::string>("name"));
            in.name = util::utf8ToLocal(data.get<std::string>("nickname"));
            in.action = data.get<int>("roomid") == roomNumber ? Incoming::Gift : Incoming::Ignored;
        }
    } catch (const std::exception&) {
        return Incoming{};
    }
    return in;
}

}  // namespace zhanqi
