#include "platforms/panda/CPandaTv.h"

#include <boost/asio/read.hpp>
#include <thread>

#include "platforms/common/web_agents.h"
#include "util/abortable_sleep.h"
#include "util/text.h"

CPandaTv::CPandaTv(boost::asio::io_context& eventLoop, MessageWindow& window, PandaSettings settings)
    : keepAliveTimer_(eventLoop),
      window_(window),
      frame_(std::make_unique<panda::PandaFrame>()),
      reconnectTimer_(eventLoop),
      settings_(settings),
      link_(eventLoop, [this] {
          // The read that is still outstanding fails next and restarts.
          closeConnection(false);
      }) {}

CPandaTv::~CPandaTv() = default;

void CPandaTv::start(std::string roomId) {
    roomId_ = std::move(roomId);
    keepAliveTimer_.cancel();
    reconnectPending_ = false;
    lookupRoom();
    if (info_.servers.empty()) {
        scheduleReconnect();
        return;
    }
    serverIndex_ = 0;
    connectTo(0);
}

void CPandaTv::lookupRoom() {
    info_.servers.clear();
    util::FetchOptions options;
    options.userAgent = platforms::kChromeAgent;
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.abort;
    std::string body = util::fetchPage(panda::chatInfoUrl(settings_.host, roomId_), options);
    if (body.empty()) {
        return;
    }
    if (auto info = panda::parseChatInfo(body)) {
        info_ = std::move(*info);
    }
}

void CPandaTv::connectTo(std::size_t index) {
    closeConnection();
    link_.connect(info_.servers[index], [this](const boost::system::error_code& e) { onConnect(e); });
}

void CPandaTv::connectNextServer() {
    ++serverIndex_;
    if (serverIndex_ < info_.servers.size()) {
        reportStatus("正在连接服务器:", info_.servers[serverIndex_].address);
        connectTo(serverIndex_);
        return;
    }
    serverIndex_ = 0;
    scheduleReconnect();
}

void CPandaTv::onConnect(const boost::system::error_code& error) {
    if (error) {
        reportStatus("连接服务器失败!");
        closeConnection();
        connectNextServer();
        return;
    }
    std::string login = panda::buildLoginPacket(info_);
    reportStatus("连接成功,准备登陆");
    pause();
    link_.send(std::move(login));
    pause();
    frame_->stage = 0;
    readNext(panda::NextRead{});
}

void CPandaTv::sendHeartbeat() {
    link_.send(panda::heartbeatPacket());
}

void CPandaTv::readNext(const panda::NextRead& next) {
    unsigned connection = link_.generation();
    auto buffer = boost::asio::buffer(frame_->data.data() + next.offset, next.length);
    if (next.what == panda::NextRead::Body) {
        boost::asio::async_read(link_.socket(), buffer,
                                [this, connection](const boost::system::error_code& e, std::size_t) {
                                    onFrameBody(connection, e);
                                });
    } else {
        boost::asio::async_read(link_.socket(), buffer,
                                [this, connection](const boost::system::error_code& e, std::size_t) {
                                    onFrameHead(connection, e);
                                });
    }
}

void CPandaTv::onFrameHead(unsigned connection, const boost::system::error_code& error) {
    if (!link_.isCurrent(connection)) {
        return;
    }
    if (error) {
        disconnected();
        return;
    }
    panda::NextRead next = panda::afterHeadRead(*frame_);
    if (next.what == panda::NextRead::Broken) {
        disconnected();
        return;
    }
    readNext(next);
}

void CPandaTv::onFrameBody(unsigned connection, const boost::system::error_code& error) {
    if (!link_.isCurrent(connection)) {
        return;
    }
    if (error) {
        disconnected();
        return;
    }
    if (frame_->kind == panda::PandaFrame::MessageBatch) {
        std::string_view body(reinterpret_cast<const char*>(frame_->body()), frame_->bodyLength);
        panda::forEachBatchRecord(body, [this](std::string_view json) { dispatchMessage(json); });
    } else if (frame_->kind == panda::PandaFrame::LoginAnswer) {
        pause();
        sendHeartbeat();
        reportStatus("登陆成功!");
        armKeepAlive();
    }
    frame_->stage = 0;
    readNext(panda::NextRead{});
}

void CPandaTv::dispatchMessage(std::string_view json) {
    auto message = panda::parseMessage(json);
    if (!message) {
        return;
    }
    if (message->kind == panda::Message::Chat) {
        sendChat(window_, std::move(message->name), std::move(message->text));
    } else {
        sendGift(window_, std::move(message->name), std::move(message->text), message->count);
    }
}

void CPandaTv::armKeepAlive() {
    unsigned connection = link_.generation();
    keepAliveTimer_.expires_after(settings_.heartbeatInterval);
    keepAliveTimer_.async_wait(
        [this, connection](const boost::system::error_code& e) { onKeepAlive(connection, e); });
}

void CPandaTv::onKeepAlive(unsigned connection, const boost::system::error_code& error) {
    if (error || !link_.isCurrent(connection)) {
        return;
    }
    sendHeartbeat();
    armKeepAlive();
}

void CPandaTv::disconnected() {
    reportStatus("服务器断开!");
    scheduleReconnect();
}

void CPandaTv::scheduleReconnect() {
    if (reconnectPending_) {
        return;
    }
    reportStatus("准备重新连接服务器...");
    reconnectTimer_.cancel();
    reconnectPending_ = true;
    closeConnection();
    reconnectTimer_.expires_after(settings_.restartDelay);
    reconnectTimer_.async_wait([this](const boost::system::error_code& e) {
        if (!e) {
            start(roomId_);
        }
    });
}

void CPandaTv::closeConnection(bool abandon) {
    keepAliveTimer_.cancel();
    link_.close(abandon);
}

void CPandaTv::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal("熊猫");
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CPandaTv::pause() const {
    util::sleepUnlessAborted(settings_.pause, settings_.abort);
}
