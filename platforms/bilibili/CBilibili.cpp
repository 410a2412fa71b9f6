#include "platforms/bilibili/CBilibili.h"

#include <fstream>

#include "platforms/bilibili/bilibili_events.h"
#include "platforms/bilibili/bilibili_packet.h"
#include "util/fetch.h"
#include "util/text.h"

namespace {

using platforms::WebSocketConnection;

constexpr const char* kAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/126.0.0.0 "
    "Safari/537.36";

bilibili::HttpGet defaultGet(std::chrono::milliseconds timeout, const std::atomic<bool>* abort) {
    return [timeout, abort](const std::string& url, const std::string& cookies) {
        util::FetchOptions options;
        options.userAgent = kAgent;
        options.acceptEncoding = "gzip, deflate";
        options.cookies = cookies;
        options.referer = "https://live.bilibili.com/";
        options.timeout = timeout;
        options.abort = abort;
        return util::fetchPage(url, options);
    };
}

std::int64_t systemSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

BilibiliSettings completed(BilibiliSettings settings) {
    if (!settings.get) {
        settings.get = defaultGet(settings.fetchTimeout, settings.abort);
    }
    if (!settings.clock) {
        settings.clock = systemSeconds;
    }
    return settings;
}

}  // namespace

CBilibili::CBilibili(boost::asio::io_context& eventLoop, MessageWindow& window, BilibiliSettings settings)
    : window_(window),
      settings_(completed(std::move(settings))),
      dispatch_(window, settings_.unreadCommand),
      lookup_(settings_.apiBase, settings_.liveApiBase, settings_.get, settings_.clock),
      timer_(eventLoop),
      reconnectTimer_(eventLoop),
      link_(eventLoop) {}

CBilibili::~CBilibili() = default;

void CBilibili::start(std::string roomId) {
    roomId_ = std::move(roomId);
    reconnectPending_ = false;
    timer_.cancel();
    link_.close();
    reportStatus("正在获取房间信息...");
    access_ = {};
    access_.status = bilibili::ChatAccess::NoSuchRoom;
    if (auto typed = bilibili::parseRoomNumber(roomId_)) {
        access_ = lookup_.lookup(*typed, readCookie());
    }
    if (access_.keysRefreshed) {
        reportStatus("签名失效,已重新获取密钥.");
    }
    if (access_.status == bilibili::ChatAccess::NoSuchRoom) {
        reportStatus("房间不存在!");
        scheduleReconnect(settings_.missingRoomDelay);
        return;
    }
    if (access_.status != bilibili::ChatAccess::Ready) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect(settings_.restartDelay);
        return;
    }
    if (access_.uid != 0) {
        reportStatus("已使用Cookie登录.");
    }
    attempts_ = 0;
    connectTo(nextHost_ % access_.hosts.size());
}

void CBilibili::connectTo(std::size_t index) {
    hostIndex_ = index;
    nextHost_ = index + 1;
    ++attempts_;
    authenticated_ = false;
    dispatch_.startConnection(access_.uid != 0);
    const bilibili::ChatHost& host = access_.hosts[index];
    // The simulated room (and only it) serves its API over plain HTTP.
    bool plain = settings_.liveApiBase.starts_with("http://");
    int port = plain ? host.wsPort : host.wssPort;
    reportStatus("正在连接服务器:", util::utf8ToLocal(host.host));
    std::string url = (plain ? "ws://" : "wss://") + host.host + ":" + std::to_string(port) + "/sub";
    link_.open(url, {[this] { onOpened(); }, [this](std::string message) { onMessage(message); },
                     [this](WebSocketConnection::Stage stage, const boost::system::error_code&) {
                         onFailed(stage);
                     }});
}

void CBilibili::onOpened() {
    reportStatus("连接成功,准备登陆");
    link_.send(bilibili::encodePacket(
        bilibili::kAuth, bilibili::authBody(access_.uid, access_.roomId, access_.buvid, access_.token)));
    armTimer(settings_.authTimeout, &CBilibili::onAuthTimeout);
}

void CBilibili::onFailed(WebSocketConnection::Stage stage) {
    if (authenticated_) {
        reportStatus("服务器断开!");
        scheduleReconnect(settings_.restartDelay);
        return;
    }
    if (stage == WebSocketConnection::Stage::Resolve) {
        reportStatus("DNS出错!", util::utf8ToLocal(access_.hosts[hostIndex_].host + " 无法解析!"));
    } else {
        reportStatus("连接服务器失败!");
    }
    // Every server of the list gets its turn before the room is looked up again.
    if (attempts_ < access_.hosts.size()) {
        connectTo((hostIndex_ + 1) % access_.hosts.size());
        return;
    }
    scheduleReconnect(settings_.restartDelay);
}

void CBilibili::onMessage(const std::string& message) {
    // Anything heard shows the connection alive, not only heartbeat replies.
    awaitingHeartbeatReply_ = false;
    std::vector<bilibili::Packet> packets;
    bool whole = bilibili::readPackets(message, packets);
    unsigned connection = link_.generation();
    for (const auto& packet : packets) {
        if (packet.operation == bilibili::kAuthReply) {
            onAuthReply(packet.body);
        } else if (packet.operation == bilibili::kCommand && !handleCommand(packet.body)) {
            whole = false;
            break;
        }
        // A delivery or a failed login may have ended this connection.
        if (link_.generation() != connection || reconnectPending_) {
            return;
        }
    }
    if (!whole) {
        reportStatus("解析弹幕失败!");
        scheduleReconnect(settings_.restartDelay);
    }
}

bool CBilibili::handleCommand(const std::string& json) {
    return dispatch_.handle(json);
}

void CBilibili::onAuthReply(const std::string& body) {
    if (authenticated_) {
        return;
    }
    if (!bilibili::authAccepted(body)) {
        reportStatus("登陆失败!");
        scheduleReconnect(settings_.restartDelay);
        return;
    }
    authenticated_ = true;
    reportStatus("登陆成功!");
    sendHeartbeat();
}

void CBilibili::armTimer(std::chrono::milliseconds after, void (CBilibili::*expired)()) {
    unsigned connection = link_.generation();
    timer_.expires_after(after);
    timer_.async_wait([this, connection, expired](const boost::system::error_code& e) {
        if (!e && connection == link_.generation() && !reconnectPending_) {
            (this->*expired)();
        }
    });
}

void CBilibili::sendHeartbeat() {
    awaitingHeartbeatReply_ = true;
    link_.send(bilibili::encodePacket(bilibili::kHeartbeat, ""));
    armTimer(settings_.heartbeatInterval, &CBilibili::onHeartbeatDue);
}

void CBilibili::onHeartbeatDue() {
    if (awaitingHeartbeatReply_) {
        reportStatus("服务器无响应!");
        scheduleReconnect(settings_.restartDelay);
        return;
    }
    sendHeartbeat();
}

void CBilibili::onAuthTimeout() {
    if (authenticated_) {
        return;
    }
    reportStatus("登陆超时!");
    scheduleReconnect(settings_.restartDelay);
}

void CBilibili::scheduleReconnect(std::chrono::milliseconds delay) {
    if (reconnectPending_) {
        return;
    }
    reportStatus("准备重新连接服务器...");
    reconnectPending_ = true;
    timer_.cancel();
    link_.close();
    reconnectTimer_.expires_after(delay);
    reconnectTimer_.async_wait([this](const boost::system::error_code& e) {
        if (!e) {
            start(roomId_);
        }
    });
}

void CBilibili::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal("哔哩哔哩");
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

std::string CBilibili::readCookie() const {
    if (settings_.cookieFile.empty()) {
        return {};
    }
    std::ifstream file(settings_.cookieFile, std::ios::binary);
    std::string line;
    std::getline(file, line);
    // A browser's "Cookie: " header line pasted whole works too.
    if (line.starts_with("Cookie:")) {
        line.erase(0, 7);
    }
    return util::trimCopy(line);
}
