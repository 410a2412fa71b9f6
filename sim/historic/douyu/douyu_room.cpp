#include "sim/historic/douyu/douyu_room.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <utility>

#include "sim/room_support.h"

namespace sim {

namespace {

std::uint16_t deadPort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(
        io, boost::asio::ip::tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
    return probe.local_endpoint().port();  // closed again on return: connecting there is refused
}

}  // namespace

DouyuRoom::DouyuRoom(RoomScript script, DouyuRoomOptions options)
    : script_(std::move(script)), options_(std::move(options)) {
    int count = std::max(1, options_.authServers);
    for (int position = 0; position < count; ++position) {
        bool dead = std::find(options_.deadAuthServers.begin(), options_.deadAuthServers.end(), position) !=
                    options_.deadAuthServers.end();
        if (dead) {
            authServerAt_.push_back(-1);
            authPorts_.push_back(deadPort());
            continue;
        }
        auth_.push_back(std::make_unique<TcpServer>(
            [this, who = "auth" + std::to_string(position)](Connection& c) { serveAuth(c, who); }));
        authServerAt_.push_back(static_cast<int>(auth_.size()) - 1);
        authPorts_.push_back(auth_.back()->port());
    }
    chat_ = std::make_unique<TcpServer>([this](Connection& c) { serveChat(c); });
    page_ = std::make_unique<HttpServer>([this](const HttpRequest& request) {
        HttpResponse response;
        if (request.target != "/" + options_.roomNumber) {
            response.status = 404;
            response.body = "<html><body>no such room</body></html>";
            return response;
        }
        switch (pageFault_.load()) {
            case DouyuPageFault::EmptyBody:
                break;
            case DouyuPageFault::NoRoomId: {
                std::string body = pageBody();
                auto at = body.find("room_id");
                body.replace(at, 7, "room_no");
                response.body = body;
                break;
            }
            case DouyuPageFault::None:
                response.body = pageBody();
                break;
        }
        response.gzip = request.header("accept-encoding").find("gzip") != std::string::npos;
        return response;
    });
}

DouyuRoom::~DouyuRoom() {
    page_->stop();
    chat_->stop();
    for (auto& server : auth_) {
        server->stop();
    }
}

std::vector<std::pair<std::string, std::string>> DouyuRoom::hostSettings() const {
    return {{"SONARO_DOUYU_HOST", page_->hostPort()}, {"SONARO_DOUYU_CHAT_HOST", "127.0.0.1"}};
}

std::string DouyuRoom::pageBody() const {
    std::string config = "[";
    for (std::size_t i = 0; i < authPorts_.size(); ++i) {
        config += (i ? "," : "");
        config += "{\"ip\":\"127.0.0.1\",\"port\":\"" + std::to_string(authPorts_[i]) + "\"}";
    }
    config += "]";
    // Like the real pages: the room object first (with an outdated server
    // list), the arguments with the list the client must use last.
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>room</title>\n<script>\n"
           "var $ROOM = {\"room_id\":" +
           options_.roomId +
           ",\"room_name\":\"simulated\",\"owner_uid\":1,\"show_status\":1,\"server_config\":\"" +
           douyuPageEncode("[{\"ip\":\"0.0.0.0\",\"port\":\"1\"}]") +
           "\"};\n$ROOM.args = {\"server_config\":\"" + douyuPageEncode(config) +
           "\",\"def_disp_gg\":0};\n</script></head><body></body></html>\n";
}

void DouyuRoom::setFaults(DouyuServer server, const DouyuFaults& faults) {
    std::lock_guard lock(mutex_);
    if (server == DouyuServer::Auth) {
        authFaults_ = faults;
        for (auto& s : auth_) {
            s->setRefuse(faults.refuse);
        }
    } else {
        chatFaults_ = faults;
        chat_->setRefuse(faults.refuse);
    }
}

DouyuFaults DouyuRoom::faults(DouyuServer server) const {
    std::lock_guard lock(mutex_);
    return server == DouyuServer::Auth ? authFaults_ : chatFaults_;
}

void DouyuRoom::dropAuthConnections() {
    for (auto& server : auth_) {
        server->dropConnections();
    }
}

int DouyuRoom::authConnections(int position) const {
    if (position < 0 || position >= static_cast<int>(authServerAt_.size()) || authServerAt_[position] < 0) {
        return 0;
    }
    return auth_[authServerAt_[position]]->accepted();
}

int DouyuRoom::openConnections(DouyuServer server) const {
    if (server == DouyuServer::Chat) {
        return chat_->open();
    }
    int open = 0;
    for (const auto& s : auth_) {
        open += s->open();
    }
    return open;
}

int DouyuRoom::keepAlives(DouyuServer server) const {
    return server == DouyuServer::Auth ? authKeepAlives_.load() : chatKeepAlives_.load();
}

std::vector<std::string> DouyuRoom::authLogins() const {
    std::lock_guard lock(mutex_);
    return authLogins_;
}

std::vector<std::string> DouyuRoom::chatLogins() const {
    std::lock_guard lock(mutex_);
    return chatLogins_;
}

std::vector<std::string> DouyuRoom::joins() const {
    std::lock_guard lock(mutex_);
    return joins_;
}

bool DouyuRoom::readFrame(Connection& connection, const std::string& who, std::string& text) {
    if (!readDouyuClientFrame(connection, text)) {
        return false;
    }
    hear(who + ": " + text);
    return true;
}

bool DouyuRoom::applyFrameFault(Connection& connection, DouyuServer server) {
    DouyuFaults f = faults(server);
    if (f.oversizedHeader) {
        connection.write(douyuServerHeader(kDouyuLargestLength + 1));
        std::string ignored;
        connection.readExact(1 << 20, ignored);  // hold until the client goes
        return true;
    }
    if (f.shortBody) {
        connection.write(douyuServerHeader(8 + 100) + std::string(10, 'x'));
        return true;
    }
    return false;
}

std::string DouyuRoom::msgRepeaterList() const {
    // Each entry is an item list escaped once; the list value escapes it again.
    std::string entries;
    std::string port = std::to_string(chat_->port());
    for (int id = 1; id <= 2; ++id) {
        entries += douyuEscape(
            douyuItems({{"id", std::to_string(id)}, {"nr", "1"}, {"ip", "127.0.0.1"}, {"port", port}}));
        entries += '/';
    }
    return "type@=msgrepeaterlist/rid@=" + options_.roomId + "/list@=" + douyuEscape(entries) + "/";
}

bool DouyuRoom::awaitLogin(Connection& connection, const std::string& who, std::vector<std::string>& logins) {
    hear(who + " connected");
    std::string text;
    do {
        if (!readFrame(connection, who, text)) {
            return false;
        }
    } while (text.find("type@=loginreq") == std::string::npos);
    std::lock_guard lock(mutex_);
    logins.push_back(text);
    return true;
}

void DouyuRoom::countKeepAlives(Connection& connection, const std::string& who,
                                std::atomic<int>& keepAlives) {
    std::string text;
    while (readFrame(connection, who, text)) {
        if (text.find("type@=keeplive") != std::string::npos) {
            ++keepAlives;
        }
    }
}

void DouyuRoom::serveAuth(Connection& connection, const std::string& who) {
    if (!awaitLogin(connection, who, authLogins_)) {
        return;
    }
    if (applyFrameFault(connection, DouyuServer::Auth)) {
        return;
    }
    std::vector<std::string> answers{
        "type@=loginres/userid@=0/roomgroup@=0/pg@=0/sessionid@=0/username@=" + options_.userName +
            "/nickname@=" + options_.userName +
            "/live_stat@=0/is_illegal@=0/ill_ct@=/ill_ts@=0/now@=0/ps@=0/es@=0/"
            "it@=0/its@=0/npv@=0/best_dlev@=0/cur_lev@=0/",
        msgRepeaterList(),
    };
    if (options_.sendGroup) {
        answers.push_back("type@=setmsggroup/rid@=" + options_.roomId + "/gid@=" + options_.groupId + "/");
    }
    int limit = faults(DouyuServer::Auth).closeAfterFrames;
    int sent = 0;
    for (const auto& answer : answers) {
        if (!connection.write(douyuServerFrame(answer))) {
            return;
        }
        if (limit > 0 && ++sent >= limit) {
            return;
        }
    }
    countKeepAlives(connection, who, authKeepAlives_);
}

void DouyuRoom::serveChat(Connection& connection) {
    if (!awaitLogin(connection, "chat", chatLogins_)) {
        return;
    }
    std::string text;
    if (applyFrameFault(connection, DouyuServer::Chat)) {
        return;
    }
    int limit = faults(DouyuServer::Chat).closeAfterFrames;
    int sent = 0;
    auto send = [&](const std::string& message) {
        if (!connection.write(douyuServerFrame(message))) {
            return false;
        }
        return !(limit > 0 && ++sent >= limit);
    };
    if (!send("type@=loginres/userid@=0/roomgroup@=0/pg@=0/sessionid@=0/username@=/nickname@=/live_stat@=0/"
              "is_illegal@=0/ill_ct@=/ill_ts@=0/now@=0/ps@=0/es@=0/it@=0/its@=0/npv@=0/best_dlev@=0/"
              "cur_lev@=0/")) {
        return;
    }
    do {
        if (!readFrame(connection, "chat", text)) {
            return;
        }
        if (text.find("type@=keeplive") != std::string::npos) {
            ++chatKeepAlives_;
        }
    } while (text.find("type@=joingroup") == std::string::npos);
    {
        std::lock_guard lock(mutex_);
        joins_.push_back(text);
    }
    int serial = 0;
    if (!playScript(connection, script_, [&](const ScriptEvent& event) {
            if (!send(douyuScriptMessage(event, ++serial, options_.roomId, options_.groupId))) {
                return false;
            }
            if (options_.onScriptFrame) {
                options_.onScriptFrame(serial, connection.unsentBytes());
            }
            return true;
        })) {
        return;
    }
    countKeepAlives(connection, "chat", chatKeepAlives_);
}

std::unique_ptr<SimulatedRoom> makeDouyuRoom(const RoomScript& script) {
    return std::make_unique<DouyuRoom>(script);
}

}  // namespace sim
