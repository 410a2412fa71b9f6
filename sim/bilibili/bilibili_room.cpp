#include "sim/bilibili/bilibili_room.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <map>

#include "sim/bilibili/bilibili_wire.h"
#include "sim/room_support.h"
#include "util/text.h"

namespace sim {

namespace {

// Today's keys, and the ones a stale cache still holds.
constexpr const char* kImgKey = "7cd084941338484aae1ad9425b84077c";
constexpr const char* kSubKey = "4932caff0ff746eab6f01bf08b70ac45";
constexpr const char* kOldImgKey = "0123456789abcdef0123456789abcdef";
constexpr const char* kOldSubKey = "fedcba9876543210fedcba9876543210";

namespace wire = biliwire;

// The service shows a visitor the first character of a name.
std::string masked(const std::string& name) {
    std::size_t first = 1;
    while (first < name.size() && (static_cast<unsigned char>(name[first]) & 0xC0) == 0x80) {
        ++first;
    }
    return name.substr(0, std::min(first, name.size())) + "***";
}

// One script event as the live chat sends it; the forms alternate so that a
// script exercises each of them.
std::string commandOf(const ScriptEvent& script, int index, bool mask) {
    ScriptEvent e = script;
    if (mask) {
        e.nickname = masked(e.nickname);
    }
    switch (e.kind) {
        case ScriptEvent::Kind::Chat:
            return std::string(R"({"cmd":")") + (index % 2 ? "DANMU_MSG:4:0:2:2:2:0" : "DANMU_MSG") +
                   R"(","info":[[0,1,25,16777215,1700000000000,0,0,"",0,0,0,"",0,"{}","{}",{}],)" +
                   jsonQuoted(e.text) + ",[" + std::to_string(1000 + index) + "," + jsonQuoted(e.nickname) +
                   R"(,0,0,0,10000,1,""],[],[10,0,0],["",""],0,0,null,{"ts":1700000000},0,0,null,null,0,105]})";
        case ScriptEvent::Kind::Gift:
            if (index % 2) {
                return R"({"cmd":"SEND_GIFT_V2","data":{"pb":")" +
                       wire::base64(wire::sendGiftPayload(static_cast<std::uint64_t>(1000 + index),
                                                          e.nickname, e.text, e.count)) +
                       "\"}}";
            }
            return R"({"cmd":"SEND_GIFT","data":{"uid":)" + std::to_string(1000 + index) + R"(,"uname":)" +
                   jsonQuoted(e.nickname) + R"(,"action":"投喂","giftName":)" + jsonQuoted(e.text) +
                   R"(,"num":)" + std::to_string(e.count) + "}}";
        case ScriptEvent::Kind::Enter:
            return BilibiliRoom::interactCommand(e.nickname, 1, index % 2);
    }
    return {};
}

std::map<std::string, std::string> queryParams(const std::string& target) {
    std::map<std::string, std::string> params;
    std::size_t question = target.find('?');
    std::string query = question == std::string::npos ? "" : target.substr(question + 1);
    std::size_t pos = 0;
    while (pos <= query.size() && !query.empty()) {
        std::size_t end = query.find('&', pos);
        std::string pair = query.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        std::size_t equals = pair.find('=');
        params[util::urlDecode(pair.substr(0, equals))] =
            equals == std::string::npos ? "" : util::urlDecode(pair.substr(equals + 1));
        if (end == std::string::npos) {
            break;
        }
        pos = end + 1;
    }
    return params;
}

std::string pathOf(const std::string& target) {
    return target.substr(0, target.find('?'));
}

int closedPort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor acceptor(io, {boost::asio::ip::address_v4::loopback(), 0});
    return acceptor.local_endpoint().port();
}

}  // namespace

BilibiliRoom::BilibiliRoom(const RoomScript& script, BilibiliRoomOptions options)
    : script_(script), options_(std::move(options)) {
    for (int i = 0; i < options_.deadServersFirst; ++i) {
        deadPorts_.push_back(closedPort());
    }
    const TlsIdentity identity = options_.tls ? *options_.tls : selfSignedIdentity();
    for (int i = 0; i < options_.chatServers; ++i) {
        chatServers_.push_back(std::make_unique<WebSocketServer>([this](WebSocketPeer& p) { serveChat(p); }));
        secureChatServers_.push_back(
            std::make_unique<WebSocketServer>([this](WebSocketPeer& p) { serveChat(p); }, identity));
    }
    web_ = std::make_unique<HttpServer>([this](const HttpRequest& r) { return answer(r); });
    if (options_.tls) {
        secureWeb_ =
            std::make_unique<HttpsServer>([this](const HttpRequest& r) { return answer(r); }, identity);
    }
}

BilibiliRoom::~BilibiliRoom() {
    web_->stop();
    secureWeb_.reset();
    for (auto& s : chatServers_) {
        s->stop();
    }
    for (auto& s : secureChatServers_) {
        s->stop();
    }
}

std::string BilibiliRoom::apiBase() const {
    return secureWeb_ ? secureWeb_->base() : "http://" + web_->hostPort();
}

std::vector<std::pair<std::string, std::string>> BilibiliRoom::hostSettings() const {
    return {{"SONARO_BILIBILI_API", apiBase()}, {"SONARO_BILIBILI_LIVE_API", apiBase()}};
}

HttpResponse BilibiliRoom::answer(const HttpRequest& request) {
    cookies_.append(request.header("cookie"));
    std::string path = pathOf(request.target);
    HttpResponse response;
    if (path == "/x/frontend/finger/spi") {
        response.body =
            std::string(R"({"code":0,"message":"ok","data":{"b_3":")") + kBuvid + R"(","b_4":"x"}})";
    } else if (path == "/x/web-interface/nav") {
        bool stale = ++navRequests_ == 1 && fault_.load() == Fault::StaleKeysFirst;
        bool loggedIn = request.header("cookie").find("SESSDATA=") != std::string::npos;
        std::string keys = std::string(R"("wbi_img":{"img_url":"https://i0.hdslb.com/bfs/wbi/)") +
                           (stale ? kOldImgKey : kImgKey) +
                           R"(.png","sub_url":"https://i0.hdslb.com/bfs/wbi/)" +
                           (stale ? kOldSubKey : kSubKey) + R"(.png"})";
        response.body = loggedIn
                            ? R"({"code":0,"message":"0","data":{"isLogin":true,"mid":)" +
                                  std::to_string(kLoggedInMid) + "," + keys + "}}"
                            : R"({"code":-101,"message":"账号未登录","data":{"isLogin":false,)" + keys + "}}";
    } else if (path == "/room/v1/Room/room_init") {
        ++roomLookups_;
        std::string id = queryParams(request.target)["id"];
        lastRoomLookup_.set(request.target);
        bool known = id == options_.roomNumber || id == std::to_string(options_.realRoomId);
        response.body = known ? R"({"code":0,"msg":"ok","data":{"room_id":)" +
                                    std::to_string(options_.realRoomId) + R"(,"short_id":)" +
                                    options_.roomNumber + "}}"
                              : R"({"code":60004,"msg":"直播间不存在","message":"直播间不存在","data":[]})";
    } else if (path == "/xlive/web-room/v1/index/getDanmuInfo") {
        response = danmuInfo(request.target);
    } else {
        response.status = 404;
        response.body = R"({"code":-404,"message":"啥都木有"})";
    }
    return response;
}

HttpResponse BilibiliRoom::danmuInfo(const std::string& target) {
    auto params = queryParams(target);
    std::map<std::string, std::string> signedParams;
    for (const auto& [key, value] : params) {
        if (key != "w_rid" && key != "wts") {
            signedParams.emplace(key, value);
        }
    }
    std::string expected = wire::wbiSignature(signedParams, params["wts"], kImgKey, kSubKey);
    HttpResponse response;
    if (fault_.load() == Fault::RefuseSignatures || params["w_rid"].empty() || expected != params["w_rid"]) {
        ++refusedSignatures_;
        response.body = R"({"code":-352,"message":"-352","ttl":1,"data":{"v_voucher":"voucher_sim"}})";
        return response;
    }
    if (params["id"] != std::to_string(options_.realRoomId)) {
        response.body = R"({"code":1,"message":"参数错误","data":null})";
        return response;
    }
    std::string hosts;
    for (int port : deadPorts_) {
        hosts += (hosts.empty() ? "" : ",") + std::string(R"({"host":"127.0.0.1","port":2243,"wss_port":)") +
                 std::to_string(port) + R"(,"ws_port":)" + std::to_string(port) + "}";
    }
    for (std::size_t i = 0; i < chatServers_.size(); ++i) {
        hosts += (hosts.empty() ? "" : ",") + std::string(R"({"host":)") + jsonQuoted(options_.chatHost) +
                 R"(,"port":2243,"wss_port":)" + std::to_string(secureChatServers_[i]->port()) +
                 R"(,"ws_port":)" + std::to_string(chatServers_[i]->port()) + "}";
    }
    response.body =
        std::string(R"({"code":0,"message":"0","ttl":1,"data":{"group":"live","business_id":0,)") +
        R"("refresh_row_factor":0.125,"refresh_rate":100,"max_delay":5000,"token":")" + kToken +
        R"(","host_list":[)" + hosts + "]}}";
    return response;
}

void BilibiliRoom::serveChat(WebSocketPeer& peer) {
    int connection = ++connections_;
    std::string message;
    std::vector<wire::Received> packets;
    if (!peer.read(message) || !wire::split(message, packets) || packets.size() != 1 ||
        packets[0].operation != wire::kAuth) {
        return;
    }
    lastAuthBody_.set(packets[0].body);
    ++logins_;
    Fault fault = fault_.load();
    bool accepted = fault != Fault::RefuseAuth && peer.target() == "/sub" &&
                    packets[0].body.find(std::string("\"key\":\"") + kToken + "\"") != std::string::npos;
    if (!peer.write(wire::packet(wire::kAuthReply, accepted ? R"({"code":0})" : R"({"code":-101})")) ||
        !accepted) {
        return;
    }
    const bool visitor = packets[0].body.find(R"("uid":0,)") != std::string::npos;
    const bool mask = options_.maskNamesForVisitors && visitor;
    if (mask && !peer.write(wire::packet(wire::kCommand, loginNoticeCommand(), wire::kPlain, 0))) {
        return;
    }
    if (!playScript(peer, mask)) {
        return;
    }
    if (!options_.afterScript.empty()) {
        std::string commands;
        for (const auto& json : options_.afterScript) {
            commands += wire::packet(wire::kCommand, json, wire::kPlain, 0);
        }
        if (!peer.write(wire::bundle(commands, wire::kZlib))) {
            return;
        }
    }
    if (fault == Fault::MalformedPacket) {
        std::string broken = wire::packet(wire::kCommand, R"({"cmd":"DANMU_MSG"})", wire::kPlain);
        broken[3] = static_cast<char>(broken[3] + 40);
        peer.write(broken);
    } else if (fault == Fault::DropAfterScript && connection == 1) {
        peer.close();
        return;
    }
    // Heartbeats: the reply's length covers the popularity only; the echo of
    // the client's heartbeat body trails it, as the service sends it.
    while (peer.read(message)) {
        packets.clear();
        if (!wire::split(message, packets)) {
            return;
        }
        for (const auto& p : packets) {
            if (p.operation != wire::kHeartbeat) {
                continue;
            }
            ++heartbeats_;
            if (fault_.load() != Fault::NoHeartbeatAnswer) {
                std::string reply =
                    wire::packet(wire::kHeartbeatReply, std::string("\0\0\x09\xa2", 4)) + p.body;
                peer.write(reply);
            }
        }
    }
}

bool BilibiliRoom::playScript(WebSocketPeer& peer, bool masked) {
    // Events without a pause before them travel in one message; the messages
    // take turns at being plain, zlib and brotli.
    int messageCount = 0;
    auto flush = [&](std::string& packets) {
        if (packets.empty()) {
            return true;
        }
        int form = messageCount++ % 3;
        std::string message = form == 0   ? packets
                              : form == 1 ? wire::bundle(packets, wire::kZlib)
                                          : wire::bundle(packets, wire::kBrotli);
        packets.clear();
        return peer.write(message);
    };
    std::string pending =
        wire::packet(wire::kCommand, R"({"cmd":"WATCHED_CHANGE","data":{"num":22097,"text_small":"2.2万"}})",
                     wire::kPlain, 0);
    do {
        int index = 0;
        for (const auto& e : script_.events) {
            if (e.delay.count() > 0 && !flush(pending)) {
                return false;
            }
            if (!pauseWhileOpen(peer.connection(), e.delay)) {
                return false;
            }
            pending += wire::packet(wire::kCommand, commandOf(e, index++, masked), wire::kPlain, 0);
        }
        if (!flush(pending)) {
            return false;
        }
    } while (script_.loop && !script_.events.empty() && peer.isOpen());
    return true;
}

std::string BilibiliRoom::interactCommand(const std::string& name, int msgType, bool protobuf) {
    if (protobuf) {
        return R"({"cmd":"INTERACT_WORD_V2","data":{"dmscore":10,"pb":")" +
               wire::base64(wire::interactWordPayload(1000, name, msgType)) + "\"}}";
    }
    return R"({"cmd":"INTERACT_WORD","data":{"uid":1000,"uname":)" + jsonQuoted(name) + R"(,"msg_type":)" +
           std::to_string(msgType) + R"(,"roomid":5440017}})";
}

std::string BilibiliRoom::likeCommand(int uid, const std::string& name) {
    return R"({"cmd":"LIKE_INFO_V3_CLICK","data":{"show_area":0,"msg_type":6,"uid":)" + std::to_string(uid) +
           R"(,"uname":)" + jsonQuoted(name) + R"(,"like_text":"为主播点赞了"}})";
}

std::string BilibiliRoom::loginNoticeCommand() {
    return R"({"cmd":"LOG_IN_NOTICE","data":{"notice_msg":"为保护用户隐私，未登录无法查看他人昵称","image_web":""}})";
}

std::string BilibiliRoom::wideCommand(const std::string& cmd, std::size_t bytes) {
    std::string json = R"({"cmd":)" + jsonQuoted(cmd) + R"(,"info":[)";
    json.reserve(bytes + 8);
    while (json.size() < bytes) {
        json += "0,";
    }
    return json + "0]}";
}

std::unique_ptr<SimulatedRoom> makeBilibiliRoom(const RoomScript& script) {
    return std::make_unique<BilibiliRoom>(script);
}

}  // namespace sim
