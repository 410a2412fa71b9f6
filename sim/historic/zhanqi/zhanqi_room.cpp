#include "sim/historic/zhanqi/zhanqi_room.h"

#include "sim/room_support.h"

namespace sim {

namespace {

std::string base64(const std::string& data) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                     (static_cast<unsigned char>(data[i + 1]) << 8) | static_cast<unsigned char>(data[i + 2]);
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], alphabet[v & 63]};
    }
    if (i + 1 == data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == data.size()) {
        unsigned v =
            (static_cast<unsigned char>(data[i]) << 16) | (static_cast<unsigned char>(data[i + 1]) << 8);
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

// The text a chat server sends for one script event.
std::string scriptMessage(const ScriptEvent& e, int roomId) {
    switch (e.kind) {
        case ScriptEvent::Kind::Chat:
            return R"({"cmdid":"chatmessage","fromname":)" + jsonQuoted(e.nickname) + R"(,"content":)" +
                   jsonQuoted(e.text) + "}";
        case ScriptEvent::Kind::Gift:
            return R"({"cmdid":"Gift.Use","data":{"count":)" + std::to_string(e.count) +
                   R"(,"id":1,"name":)" + jsonQuoted(e.text) + R"(,"nickname":)" + jsonQuoted(e.nickname) +
                   R"(,"roomid":)" + std::to_string(roomId) + "}}";
        case ScriptEvent::Kind::Enter:
            break;
    }
    return R"({"cmdid":"useronline","fromname":)" + jsonQuoted(e.nickname) + "}";
}

}  // namespace

std::string zhanqiPacket(const std::string& text, std::uint16_t lengthField) {
    std::string header("\xBB\xCC\x00\x00\x00\x00", 6);
    header += {static_cast<char>(lengthField & 0xFF), static_cast<char>(lengthField >> 8)};
    header += std::string("\x00\x00\xE8\x03", 4);
    return header + text;
}

std::string zhanqiPacket(const std::string& text) {
    return zhanqiPacket(text, static_cast<std::uint16_t>(text.size()));
}

ZhanqiRoom::ZhanqiRoom(const RoomScript& script, ZhanqiRoomOptions options)
    : script_(script), options_(std::move(options)) {
    for (int i = 0; i < options_.chatServers; ++i) {
        chatFaults_.push_back(std::make_unique<std::atomic<ChatFault>>(ChatFault::None));
    }
    for (int i = 0; i < options_.chatServers; ++i) {
        chatServers_.push_back(std::make_unique<TcpServer>([this, i](Connection& c) { serveChat(i, c); }));
    }
    web_ = std::make_unique<HttpServer>([this](const HttpRequest& r) { return answer(r); });
}

ZhanqiRoom::~ZhanqiRoom() {
    web_->stop();
    for (auto& s : chatServers_) {
        s->stop();
    }
}

std::vector<std::pair<std::string, std::string>> ZhanqiRoom::hostSettings() const {
    return {{"SONARO_ZHANQI_HOST", web_->hostPort()}};
}

void ZhanqiRoom::setChatFault(ChatFault fault, int index) {
    for (int i = 0; i < options_.chatServers; ++i) {
        if (index < 0 || index == i) {
            *chatFaults_[i] = fault;
        }
    }
}

std::vector<std::string> ZhanqiRoom::receivedTexts() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::string ZhanqiRoom::roomPage() const {
    std::string list;
    auto add = [&](const std::string& ip, int port) {
        list += (list.empty() ? "" : ",") + std::string(R"({"ip":)") + jsonQuoted(ip) + R"(,"port":)" +
                std::to_string(port) + "}";
    };
    for (const auto& [ip, port] : options_.leadingServers) {
        add(ip, port);
    }
    for (const auto& server : chatServers_) {
        add("127.0.0.1", server->port());
    }
    for (const auto& [ip, port] : options_.trailingServers) {
        add(ip, port);
    }
    std::string configuration;
    switch (lookupFault_.load()) {
        case LookupFault::MissingList:
            configuration = R"({"servers":[)" + list + "]}";
            break;
        case LookupFault::EmptyList:
            configuration = R"({"list":[]})";
            break;
        default:
            configuration = R"({"list":[)" + list + "]}";
            break;
    }
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><script>\n"
           "window.oPageConfig.oRoom = {\"id\":\"" +
           std::to_string(options_.roomId) + "\",\"url\":\"/" + options_.roomNumber +
           "\",\"flashvars\":{\"Servers\":\"" + base64(configuration) + "\",\"ChatRoomId\":\"" +
           std::to_string(options_.roomId) + "\"}};\n</script></body></html>\n";
}

HttpResponse ZhanqiRoom::answer(const HttpRequest& request) {
    HttpResponse response;
    LookupFault fault = lookupFault_.load();
    if (request.target == "/api/public/room.viewer") {
        if (fault == LookupFault::BrokenViewer) {
            response.body = "<html>busy</html>";
        } else if (fault != LookupFault::EmptyViewer) {
            response.body = R"({"code":0,"message":"","data":{"uid":"109922","gid":1843,)"
                            R"("sid":"9e107d9d372bb6826bd81d3542a419d6","timestamp":1481086035}})";
        }
        return response;
    }
    if (request.target == "/" + options_.roomNumber) {
        ++pageRequests_;
        if (fault != LookupFault::EmptyPage) {
            response.body = roomPage();
        }
        return response;
    }
    response.status = 404;
    response.body = "<html>not found</html>";
    return response;
}

bool ZhanqiRoom::readText(Connection& connection, const std::string& who, std::string& text) {
    std::string header;
    if (!connection.readExact(12, header)) {
        return false;
    }
    std::size_t length = static_cast<unsigned char>(header[6]) | (static_cast<unsigned char>(header[7]) << 8);
    if (!connection.readExact(length, text)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        received_.push_back(text);
    }
    hear(who + ": " + header + text);
    return true;
}

void ZhanqiRoom::serveChat(int index, Connection& connection) {
    const std::string who = "chat" + std::to_string(index);
    hear(who + " connected");
    std::string text;
    if (!readText(connection, who, text) || text.find("\"svrisokreq\"") == std::string::npos) {
        return;
    }
    switch (chatFaults_[index]->load()) {
        case ChatFault::NegativeLength:
            connection.write(zhanqiPacket("", 0x8000));
            break;
        case ChatFault::UnparseableJson:
            connection.write(zhanqiPacket(R"({"cmdid":"svrisokresp","ok":)"));
            break;
        case ChatFault::GreetingRefused:
            connection.write(zhanqiPacket(R"({"cmdid":"svrisokresp","ok":0})"));
            break;
        case ChatFault::CloseAfterGreeting:
            return;
        case ChatFault::None: {
            connection.write(zhanqiPacket(R"({"cmdid":"svrisokresp","ok":1})"));
            while (text.find("\"loginreq\"") == std::string::npos) {
                if (!readText(connection, who, text)) {
                    return;
                }
            }
            connection.write(zhanqiPacket(R"({"cmdid":"loginresp","retcode":0})"));
            bool open = playScript(connection, script_, [&](const ScriptEvent& e) {
                return connection.write(zhanqiPacket(scriptMessage(e, options_.roomId)));
            });
            if (!open) {
                return;
            }
            break;
        }
    }
    while (readText(connection, who, text)) {
    }
}

std::unique_ptr<SimulatedRoom> makeZhanqiRoom(const RoomScript& script) {
    return std::make_unique<ZhanqiRoom>(script);
}

}  // namespace sim
