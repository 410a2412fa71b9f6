#include "platforms/zhanqi/CZqOpt.h"

#include <boost/asio/read.hpp>
#include <thread>

#include "platforms/common/web_agents.h"
#include "util/abortable_sleep.h"
#include "util/text.h"

CZqOpt::CZqOpt(boost::asio::io_context& eventLoop, MessageWindow& window, ZhanqiSettings settings)
    : receivePacket_(std::make_unique<ReceivePacket>()),
      keepAliveTimer_(eventLoop),
      window_(window),
      reconnectTimer_(eventLoop),
      settings_(std::move(settings)),
      link_(eventLoop, [this] { scheduleReconnect(); }) {}

CZqOpt::~CZqOpt() = default;

void CZqOpt::start(std::string roomId) {
    roomId_ = std::move(roomId);
    room_.roomNumber = 0;
    reconnectPending_ = false;
    reportStatus("正在获取房间信息.");
    lookupRoom();
    if (room_.servers.empty()) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    auto draw = static_cast<unsigned>(settings_.random());
    serverIndex_ = draw % room_.servers.size();
    connectTo(serverIndex_);
}

void CZqOpt::lookupRoom() {
    reportStatus("开始取得房间信息.");
    room_.servers.clear();
    util::FetchOptions options;
    options.userAgent = platforms::kFirefoxAgent;
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.abort;
    std::string page = util::fetchPage(zhanqi::roomPageUrl(settings_.host, roomId_), options);
    if (page.empty()) {
        return;
    }
    std::string api = util::fetchPage(zhanqi::viewerUrl(settings_.host), options);
    if (api.empty()) {
        return;
    }
    room_ = zhanqi::parseRoomInfo(page, api);
}

void CZqOpt::connectTo(std::size_t index) {
    closeConnection();
    link_.connect(room_.servers[index], [this](const boost::system::error_code& e) { onConnect(e); });
}

void CZqOpt::connectNextServer() {
    ++serverIndex_;
    if (serverIndex_ < room_.servers.size()) {
        reportStatus("正在连接服务器:", room_.servers[serverIndex_].address);
        connectTo(serverIndex_);
        return;
    }
    serverIndex_ = 0;
    scheduleReconnect();
}

void CZqOpt::onConnect(const boost::system::error_code& error) {
    if (error) {
        reportStatus("连接服务器失败!");
        closeConnection();
        connectNextServer();
        return;
    }
    link_.send(zhanqi::greetingPacket());
    pause();
    readHeader();
}

void CZqOpt::readHeader() {
    unsigned connection = link_.generation();
    boost::asio::async_read(
        link_.socket(), boost::asio::buffer(receivePacket_->header),
        [this, connection](const boost::system::error_code& e, std::size_t) { onHeader(connection, e); });
}

void CZqOpt::onHeader(unsigned connection, const boost::system::error_code& error) {
    if (!link_.isCurrent(connection)) {
        return;
    }
    int length = error ? -1 : zhanqi::packetTextLength(receivePacket_->header.data());
    if (length < 0) {
        reportStatus("服务器断开!");
        closeConnection();
        connectNextServer();
        return;
    }
    receivePacket_->length = length;
    boost::asio::async_read(
        link_.socket(), boost::asio::buffer(receivePacket_->text.data(), length),
        [this, connection](const boost::system::error_code& e, std::size_t) { onBody(connection, e); });
}

void CZqOpt::onBody(unsigned connection, const boost::system::error_code& error) {
    if (!link_.isCurrent(connection)) {
        return;
    }
    if (error) {
        reportStatus("服务器断开!");
        scheduleReconnect();
        return;
    }
    if (dispatchMessage(std::string_view(receivePacket_->text.data(), receivePacket_->length))) {
        readHeader();
    }
}

// False when the connection must not be read any further.
bool CZqOpt::dispatchMessage(std::string_view text) {
    zhanqi::Incoming in = zhanqi::handleText(text, room_.roomNumber);
    switch (in.action) {
        case zhanqi::Incoming::Unparseable:
        case zhanqi::Incoming::GreetingRefused:
            scheduleReconnect();
            return false;
        case zhanqi::Incoming::GreetingAccepted:
            sendKeepAlive();
            link_.send(zhanqi::loginPacket(room_));
            break;
        case zhanqi::Incoming::LoggedIn:
            reportStatus("登陆成功!");
            armKeepAlive();
            break;
        case zhanqi::Incoming::Chat:
            sendChat(window_, std::move(in.name), std::move(in.text));
            break;
        case zhanqi::Incoming::Gift:
            sendGift(window_, std::move(in.name), std::move(in.text), in.count);
            break;
        case zhanqi::Incoming::Ignored:
            break;
    }
    return true;
}

void CZqOpt::sendKeepAlive() {
    link_.send(zhanqi::keepAlivePacket(room_.roomNumber));
}

void CZqOpt::armKeepAlive() {
    unsigned connection = link_.generation();
    keepAliveTimer_.cancel();
    keepAliveTimer_.expires_after(settings_.keepAliveInterval);
    keepAliveTimer_.async_wait(
        [this, connection](const boost::system::error_code& e) { onKeepAlive(connection, e); });
}

void CZqOpt::onKeepAlive(unsigned connection, const boost::system::error_code& error) {
    if (error || !link_.isCurrent(connection)) {
        return;
    }
    sendKeepAlive();
    armKeepAlive();
}

void CZqOpt::scheduleReconnect() {
    if (reconnectPending_) {
        return;
    }
    reportStatus("准备重新连接服务器...");
    reconnectPending_ = true;
    reconnectTimer_.cancel();
    reconnectTimer_.expires_after(settings_.restartDelay);
    reconnectTimer_.async_wait([this](const boost::system::error_code& e) {
        if (e) {
            return;
        }
        closeConnection();
        pause();
        start(roomId_);
    });
}

void CZqOpt::closeConnection() {
    keepAliveTimer_.cancel();
    link_.close();
}

void CZqOpt::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal("战旗");
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CZqOpt::pause() const {
    util::sleepUnlessAborted(settings_.pause, settings_.abort);
}
