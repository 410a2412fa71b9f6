#include "platforms/douyu/CDouyuTv.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/post.hpp>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "platforms/common/web_agents.h"
#include "sys/sys.h"
#include "util/abortable_sleep.h"
#include "util/fetch.h"
#include "util/host.h"
#include "util/text.h"

using boost::asio::ip::tcp;

CDouyuTv::CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window)
    : CDouyuTv(eventLoop, window, DouyuSettings()) {}

CDouyuTv::CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window, DouyuSettings settings)
    : settings_(std::move(settings)),
      auth_(eventLoop, [this] { scheduleReconnect(); }),
      chat_(eventLoop, [this] { scheduleReconnect(); }),
      eventLoop_(eventLoop),
      authKeepAlive_(eventLoop),
      chatKeepAlive_(eventLoop),
      window_(window),
      reconnectTimer_(eventLoop) {
    if (!settings_.utcNow) {
        settings_.utcNow = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    }
    if (!settings_.random) {
        settings_.random = [] { return std::rand(); };
    }
}

CDouyuTv::~CDouyuTv() {
    reconnectTimer_.cancel();
    closeConnections();
}

void CDouyuTv::reportStatus(const char* utf8Text, const std::string& suffix) {
    sendStatus(window_, util::utf8ToLocal("斗鱼"), util::utf8ToLocal(utf8Text) + suffix);
}

void CDouyuTv::pause(std::chrono::milliseconds duration) {
    util::sleepUnlessAborted(duration, settings_.abort);
}

std::int64_t CDouyuTv::localSecondsNow() const {
    return douyu::localClockSeconds(settings_.utcNow());
}

// ---- room lookup -------------------------------------------------------------

void CDouyuTv::start(std::string roomId) {
    roomNumber_ = std::move(roomId);
    reconnectPending_ = false;
    reportStatus("正在获取房间信息...");
    if (!lookupRoom()) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    serverIndex_ = static_cast<int>(static_cast<unsigned>(settings_.random()) % servers_.size());
    reportStatus("正在连接.");
    connectAuth();
}

bool CDouyuTv::lookupRoom() {
    servers_.clear();
    util::FetchOptions options;
    options.userAgent = platforms::kFirefoxAgent;
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.abort;
    std::string page = util::fetchPage(settings_.pageHost + "/" + roomNumber_, options);
    if (page.empty()) {
        return false;
    }
    douyu::parseRoomPage(page, roomId_, servers_);
    return !servers_.empty();
}

// ---- authentication phase ----------------------------------------------------

void CDouyuTv::connectAuth() {
    const douyu::ServerEntry& entry = servers_[serverIndex_];
    boost::system::error_code ec;
    auto address = boost::asio::ip::make_address_v4(entry.address, ec);
    unsigned generation = auth_.generation();
    auto onConnected = [this, generation](const boost::system::error_code& ec) {
        if (!auth_.isCurrent(generation)) {
            return;
        }
        if (ec) {
            reportStatus("连接服务器失败!");
            closeConnections();
            connectNextServer();
            return;
        }
        onAuthConnected();
    };
    if (ec || entry.port > 65535) {
        // Not an address we can connect to: a failed attempt like any other,
        // reported from the loop as a real connect failure would be.
        boost::asio::post(eventLoop_, [onConnected] { onConnected(boost::asio::error::host_not_found); });
        return;
    }
    auth_.socket().async_connect(tcp::endpoint(address, static_cast<std::uint16_t>(entry.port)), onConnected);
}

void CDouyuTv::onAuthConnected() {
    std::string request = douyu::authLoginText(roomId_, localSecondsNow());
    pause(settings_.loginPause);
    auth_.sendText(request);
    pause(settings_.loginPause);
    readAuth();
}

void CDouyuTv::readAuth() {
    unsigned generation = auth_.generation();
    auth_.readFrame([this, generation](douyu::DouyuLink::ReadOutcome outcome, std::string_view text) {
        switch (outcome) {
            case douyu::DouyuLink::ReadOutcome::HeaderFailure:
                reportStatus("服务器断开!");
                closeConnections();
                connectNextServer();
                return;
            case douyu::DouyuLink::ReadOutcome::BodyFailure:
                reportStatus("服务器断开!");
                scheduleReconnect();
                return;
            case douyu::DouyuLink::ReadOutcome::Text:
                handleAuthText(text);
                if (auth_.isCurrent(generation)) {
                    readAuth();
                }
                return;
        }
    });
}

void CDouyuTv::handleAuthText(std::string_view text) {
    if (douyu::hasUserName(text)) {
        userName_ = douyu::userNameOf(text);
    } else if (douyu::isType(text, "msgrepeaterlist")) {
        chooseChatPort(text);
    } else if (douyu::isType(text, "setmsggroup")) {
        groupId_ = douyu::groupIdOf(text);
    } else if (douyu::isType(text, "keeplive")) {
    } else {
        dispatchMessage(text);
    }
}

void CDouyuTv::chooseChatPort(std::string_view text) {
    chatPort_.clear();
    auto ports = douyu::chatPortsOf(text);
    if (!ports.empty()) {
        chatPort_ = ports[static_cast<unsigned>(settings_.random()) % ports.size()];
    }
    if (userName_.empty() || chatPort_.empty()) {
        return;  // only a later list, after the user name, begins the chat phase
    }
    reportStatus("开始连接弹幕服务器.");
    armKeepAlive(authKeepAlive_, auth_, settings_.firstKeepAlive, &CDouyuTv::authKeepAliveText);
    chatKeepAlive_.cancel();
    beginChat();
}

// ---- chat phase --------------------------------------------------------------

void CDouyuTv::beginChat() {
    std::string host;
    int portOverride = 0;
    util::splitHostPort(settings_.chatHost, host, portOverride);
    std::string service = portOverride > 0 ? std::to_string(portOverride) : chatPort_;

    tcp::resolver resolver(eventLoop_);
    boost::system::error_code ec;
    auto results = resolver.resolve(host, service, ec);
    if (ec || results.empty()) {
        reportStatus("DNS出错!", host + util::utf8ToLocal(" 无法解析!"));
        scheduleReconnect();
        return;
    }
    // A new server list replaces any chat connection of the previous one.
    chat_.close();
    unsigned generation = chat_.generation();
    boost::asio::async_connect(chat_.socket(), results,
                               [this, generation](const boost::system::error_code& ec, const tcp::endpoint&) {
                                   if (!chat_.isCurrent(generation)) {
                                       return;
                                   }
                                   if (ec) {
                                       reportStatus("弹幕服务器连接失败!");
                                       scheduleReconnect();
                                       return;
                                   }
                                   onChatConnected();
                               });
}

void CDouyuTv::onChatConnected() {
    reportStatus("连接弹幕服务器成功!");
    std::string request = douyu::chatLoginText(userName_, roomId_);
    pause(settings_.loginPause);
    chat_.sendText(request);
    reportStatus("登陆成功!");
    readChat();
}

void CDouyuTv::readChat() {
    unsigned generation = chat_.generation();
    chat_.readFrame([this, generation](douyu::DouyuLink::ReadOutcome outcome, std::string_view text) {
        if (outcome != douyu::DouyuLink::ReadOutcome::Text) {
            reportStatus("弹幕服务器读取数据失败!");
            scheduleReconnect();
            return;
        }
        dispatchMessage(text);
        if (chat_.isCurrent(generation)) {
            readChat();
        }
    });
}

void CDouyuTv::joinGroup() {
    chat_.sendText(douyu::joinGroupText(roomId_, groupId_));
    armKeepAlive(chatKeepAlive_, chat_, settings_.firstKeepAlive, &CDouyuTv::chatKeepAliveText);
}

// ---- keep-alives ---------------------------------------------------------------

void CDouyuTv::armKeepAlive(KeepAlive& keepAlive, douyu::DouyuLink& link, std::chrono::milliseconds delay,
                            std::string (CDouyuTv::*text)() const) {
    keepAlive.timer.expires_after(delay);
    unsigned arm = ++keepAlive.arms;
    unsigned generation = link.generation();
    keepAlive.timer.async_wait(
        [this, &keepAlive, &link, arm, generation, text](const boost::system::error_code& ec) {
            if (ec || arm != keepAlive.arms || !link.isCurrent(generation)) {
                return;
            }
            link.sendText((this->*text)());
            armKeepAlive(keepAlive, link, settings_.keepAliveInterval, text);
        });
}

std::string CDouyuTv::authKeepAliveText() const {
    return douyu::authKeepAliveText(localSecondsNow());
}

std::string CDouyuTv::chatKeepAliveText() const {
    return douyu::chatKeepAliveText(sys::tickCount());
}

// ---- failures and restarts -----------------------------------------------------

void CDouyuTv::scheduleReconnect() {
    if (reconnectPending_) {
        return;
    }
    reportStatus("准备重新连接服务器...");
    reconnectPending_ = true;
    reconnectTimer_.expires_after(settings_.reconnectDelay);
    reconnectTimer_.async_wait([this](const boost::system::error_code& ec) {
        if (ec) {
            return;
        }
        closeConnections();
        pause(settings_.loginPause);
        start(roomNumber_);
    });
}

void CDouyuTv::connectNextServer() {
    ++serverIndex_;
    if (serverIndex_ >= static_cast<int>(servers_.size())) {
        serverIndex_ = 0;
        scheduleReconnect();
        return;
    }
    reportStatus("正在连接服务器:", servers_[serverIndex_].address);
    connectAuth();
}

void CDouyuTv::closeConnections() {
    authKeepAlive_.cancel();
    chatKeepAlive_.cancel();
    auth_.close();
    chat_.close();
}

// ---- messages ------------------------------------------------------------------

void CDouyuTv::dispatchMessage(std::string_view text) {
    douyu::Message message = douyu::parseMessage(text);
    switch (message.kind) {
        case douyu::Message::Kind::LoginResponse:
            joinGroup();
            break;
        case douyu::Message::Kind::Chat:
            sendChat(window_, std::move(message.name), std::move(message.text));
            break;
        case douyu::Message::Kind::Enter:
            sendEnter(window_, std::move(message.name));
            break;
        case douyu::Message::Kind::Gift:
            sendGift(window_, std::move(message.name), std::move(message.text), message.count);
            break;
        case douyu::Message::Kind::Ignored:
            break;
    }
}
