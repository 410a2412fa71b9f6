#include "platforms/panda/CPandaTv.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <thread>

#include "util/host.h"
#include "util/text.h"

namespace {
constexpr const char* kHostVariable = "SONARO_PANDA_HOST";
constexpr const char* kDefaultHost = "www.panda.tv";
}  // namespace

using boost::asio::ip::tcp;

CPandaTv::CPandaTv(boost::asio::io_context& eventLoop, MessageWindow& window, PandaSettings settings)
    : eventLoop_(eventLoop),
      socket_(eventLoop),
      keepAliveTimer_(eventLoop),
      window_(window),
      frame_(std::make_unique<panda::PandaFrame>()),
      reconnectTimer_(eventLoop),
      settings_(settings) {}

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
    std::string url = panda::chatInfoUrl(util::hostSetting(kHostVariable, kDefaultHost), roomId_);
    std::string body = util::fetchPage(url, util::FetchProfile::Panda, {}, settings_.fetchTimeout);
    if (body.empty()) {
        return;
    }
    if (auto info = panda::parseChatInfo(body)) {
        info_ = std::move(*info);
    }
}

void CPandaTv::connectTo(std::size_t index) {
    closeConnection();
    const panda::ServerEntry& entry = info_.servers[index];
    unsigned connection = connection_;
    boost::system::error_code error;
    auto address = boost::asio::ip::make_address(entry.address, error);
    if (error || entry.port <= 0 || entry.port > 0xFFFF) {
        // Only numeric addresses can be connected to; anything else fails like
        // a refused connect, on the loop so the next attempt does not recurse.
        boost::asio::post(
            eventLoop_, [this, connection] { onConnect(connection, boost::asio::error::host_unreachable); });
        return;
    }
    socket_.async_connect(
        tcp::endpoint(address, static_cast<unsigned short>(entry.port)),
        [this, connection](const boost::system::error_code& e) { onConnect(connection, e); });
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

void CPandaTv::onConnect(unsigned connection, const boost::system::error_code& error) {
    if (connection != connection_) {
        return;
    }
    if (error) {
        reportStatus("连接服务器失败!");
        closeConnection();
        connectNextServer();
        return;
    }
    std::string login = panda::buildLoginPacket(info_);
    reportStatus("连接成功,准备登陆");
    pause();
    sendPacket(std::move(login));
    pause();
    frame_->stage = 0;
    readNext(panda::NextRead{});
}

void CPandaTv::sendPacket(std::string packet) {
    outgoing_.push_back(std::make_shared<std::string>(std::move(packet)));
    if (!writing_) {
        writing_ = true;
        unsigned connection = connection_;
        boost::asio::post(eventLoop_, [this, connection] {
            if (connection == connection_) {
                writeNext();
            }
        });
    }
}

// Writes go out one at a time, in the order they were sent, so two packets
// never interleave on the wire.
void CPandaTv::writeNext() {
    if (outgoing_.empty()) {
        writing_ = false;
        return;
    }
    auto packet = outgoing_.front();
    unsigned connection = connection_;
    boost::asio::async_write(
        socket_, boost::asio::buffer(*packet),
        [this, connection, packet](const boost::system::error_code& error, std::size_t) {
            // A write of a connection that was closed meanwhile is no news.
            if (connection != connection_ || outgoing_.empty() || outgoing_.front() != packet) {
                return;
            }
            if (error) {
                // The read that is still outstanding fails next and restarts.
                closeConnection(false);
                return;
            }
            outgoing_.pop_front();
            writeNext();
        });
}

void CPandaTv::sendHeartbeat() {
    sendPacket(panda::heartbeatPacket());
}

void CPandaTv::readNext(const panda::NextRead& next) {
    unsigned connection = connection_;
    auto buffer = boost::asio::buffer(frame_->data.data() + next.offset, next.length);
    if (next.what == panda::NextRead::Body) {
        boost::asio::async_read(socket_, buffer,
                                [this, connection](const boost::system::error_code& e, std::size_t) {
                                    onFrameBody(connection, e);
                                });
    } else {
        boost::asio::async_read(socket_, buffer,
                                [this, connection](const boost::system::error_code& e, std::size_t) {
                                    onFrameHead(connection, e);
                                });
    }
}

void CPandaTv::onFrameHead(unsigned connection, const boost::system::error_code& error) {
    if (connection != connection_) {
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
    if (connection != connection_) {
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
    unsigned connection = connection_;
    keepAliveTimer_.expires_after(settings_.heartbeatInterval);
    keepAliveTimer_.async_wait(
        [this, connection](const boost::system::error_code& e) { onKeepAlive(connection, e); });
}

void CPandaTv::onKeepAlive(unsigned connection, const boost::system::error_code& error) {
    if (error || connection != connection_) {
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
    if (abandon) {
        ++connection_;
    }
    keepAliveTimer_.cancel();
    outgoing_.clear();
    writing_ = false;
    if (socket_.is_open()) {
        boost::system::error_code ignored;
        socket_.close(ignored);
    }
}

void CPandaTv::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal("熊猫");
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CPandaTv::pause() const {
    if (settings_.pause.count() > 0) {
        std::this_thread::sleep_for(settings_.pause);
    }
}
