#include "sim/historic/panda/panda_room.h"

#include "sim/room_support.h"

namespace sim {

namespace {

std::string messageOf(const ScriptEvent& e) {
    std::string from = R"({"from":{"nickName":)" + jsonQuoted(e.nickname) + R"(,"rid":"1"},)";
    switch (e.kind) {
        case ScriptEvent::Kind::Chat:
            return R"({"type":"1","time":1473662127,"data":)" + from + R"("content":)" + jsonQuoted(e.text) +
                   "}}";
        case ScriptEvent::Kind::Gift:
            if (e.text == "竹子") {
                return R"({"type":"206","data":)" + from + R"("content":")" + std::to_string(e.count) +
                       "\"}}";
            }
            return R"({"type":"306","data":)" + from + R"("content":{"id":"1","name":)" + jsonQuoted(e.text) +
                   R"(,"count":")" + std::to_string(e.count) + R"(","price":"1"}}})";
        case ScriptEvent::Kind::Enter:
            break;
    }
    // Panda has no room-entry message the client speaks; send what it ignores.
    return R"({"type":"2","data":)" + from + R"("content":""}})";
}

}  // namespace

std::string pandaBatchFrame(const std::vector<std::string>& payloads) {
    std::string body;
    for (const auto& p : payloads) {
        body += std::string(14, '\0') + bigEndian16(p.size()) + p;
    }
    return std::string("\x00\x06\x00\x03", 4) + std::string(9, '\0') + bigEndian16(body.size()) + body;
}

PandaRoom::PandaRoom(const RoomScript& script, PandaRoomOptions options)
    : script_(script), options_(std::move(options)) {
    for (int i = 0; i < options_.chatServers; ++i) {
        chatServers_.push_back(std::make_unique<TcpServer>(
            [this, who = "chat" + std::to_string(i)](Connection& c) { serveChat(c, who); }));
    }
    web_ = std::make_unique<HttpServer>([this](const HttpRequest& r) { return answerLookup(r); });
}

PandaRoom::~PandaRoom() {
    web_->stop();
    for (auto& s : chatServers_) {
        s->stop();
    }
}

std::vector<std::pair<std::string, std::string>> PandaRoom::hostSettings() const {
    return {{"SONARO_PANDA_HOST", web_->hostPort()}};
}

std::string PandaRoom::lastLoginText() const {
    std::lock_guard lock(mutex_);
    return lastLoginText_;
}

std::string PandaRoom::lastLookupTarget() const {
    std::lock_guard lock(mutex_);
    return lastLookupTarget_;
}

std::string PandaRoom::chatInfoDocument() const {
    std::string list;
    for (const auto& item : options_.leadingServers) {
        list += (list.empty() ? "" : ",") + jsonQuoted(item);
    }
    for (const auto& server : chatServers_) {
        list += (list.empty() ? "" : ",") + jsonQuoted("127.0.0.1:" + std::to_string(server->port()));
    }
    return R"({"errno":0,"errmsg":"","data":{"rid":"-47491123","appid":"134224728","ts":"1473662127582",)"
           R"("sign":"5f1d0a3c9b","authtype":"4","chat_addr_list":[)" +
           list + "]}}";
}

HttpResponse PandaRoom::answerLookup(const HttpRequest& request) {
    {
        std::lock_guard lock(mutex_);
        lastLookupTarget_ = request.target;
    }
    ++lookups_;
    HttpResponse response;
    if (request.target != "/ajax_chatinfo?roomid=" + options_.roomNumber + "&retry=0") {
        response.body = R"({"errno":200,"errmsg":"room not found","data":""})";
        return response;
    }
    response.gzip = request.header("accept-encoding").find("gzip") != std::string::npos;
    switch (lookupFault_.load()) {
        case LookupFault::None:
            response.body = chatInfoDocument();
            break;
        case LookupFault::EmptyAnswer:
            break;
        case LookupFault::MalformedJson:
            response.body = R"({"errno":0,"data":{"rid":)";
            break;
        case LookupFault::MissingAuthtype:
            response.body =
                R"({"data":{"rid":"1","appid":"2","ts":"3","sign":"4","chat_addr_list":["127.0.0.1:1"]}})";
            break;
        case LookupFault::EmptyServerList:
            response.body =
                R"({"data":{"rid":"1","appid":"2","ts":"3","sign":"4","authtype":"4","chat_addr_list":[]}})";
            break;
    }
    return response;
}

void PandaRoom::serveChat(Connection& connection, const std::string& who) {
    hear(who + " connected");
    std::string head, text;
    if (!connection.readExact(6, head) || head.compare(0, 4, std::string("\x00\x06\x00\x02", 4)) != 0) {
        return;
    }
    std::size_t length = readBigEndian16(head.data() + 4);
    if (!connection.readExact(length, text)) {
        return;
    }
    hear(who + ": " + head + text);
    {
        std::lock_guard lock(mutex_);
        lastLoginText_ = text;
    }
    ++logins_;
    ChatFault fault = chatFault_.load();
    if (fault == ChatFault::CloseAfterLogin) {
        return;
    }
    if (fault == ChatFault::BareFrameFirst) {
        connection.write(std::string("\x00\x06\x00\x01", 4));
    }
    connection.write(std::string("\x00\x06\x00\x06", 4) + bigEndian16(2) + "ok");
    if (fault == ChatFault::OversizedFrame) {
        connection.write(std::string("\x00\x06\x00\x03", 4) + std::string(9, '\0') + bigEndian16(32769));
    } else {
        // Events without a pause before them travel in one batch.
        do {
            std::vector<std::string> batch;
            for (const auto& e : script_.events) {
                if (e.delay.count() > 0 && !batch.empty()) {
                    connection.write(pandaBatchFrame(batch));
                    batch.clear();
                }
                if (!pauseWhileOpen(connection, e.delay)) {
                    return;
                }
                batch.push_back(messageOf(e));
            }
            if (!batch.empty() && !connection.write(pandaBatchFrame(batch))) {
                return;
            }
        } while (script_.loop && connection.isOpen());
    }
    std::string heartbeat;
    while (connection.readExact(4, heartbeat)) {
        hear(who + ": " + heartbeat);
        if (heartbeat == std::string("\x00\x06\x00\x00", 4)) {
            ++heartbeats_;
        }
    }
}

std::unique_ptr<SimulatedRoom> makePandaRoom(const RoomScript& script) {
    return std::make_unique<PandaRoom>(script);
}

}  // namespace sim
