#include "platforms/zhanqi/CZqOpt.h"

#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <thread>

#include "util/host.h"
#include "util/text.h"

namespace {
constexpr const char* kHostVariable = "SONARO_ZHANQI_HOST";
constexpr const char* kDefaultHost = "www.zhanqi.tv";
}  // namespace

using boost::asio::ip::tcp;

CZqOpt::CZqOpt(boost::asio::io_context& eventLoop, MessageWindow& window, ZhanqiSettings settings)
    : receivePacket_(std::make_unique<ReceivePacket>()),
      eventLoop_(eventLoop),
      socket_(eventLoop),
      keepAliveTimer_(eventLoop),
      window_(window),
      reconnectTimer_(eventLoop),
      settings_(std::move(settings)) {}

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
    std::string host = util::hostSetting(kHostVariable, kDefaultHost);
    std::string page = util::fetchPage(zhanqi::roomPageUrl(host, roomId_), util::FetchProfile::Zhanqi, {},
                                       settings_.fetchTimeout);
    if (page.empty()) {
        return;
    }
    std::string api =
        util::fetchPage(zhanqi::viewerUrl(host), util::FetchProfile::Zhanqi, {}, settings_.fetchTimeout);
    if (api.empty()) {
        return;
    }
    room_ = zhanqi::parseRoomInfo(page, api);
}

void CZqOpt::connectTo(std::size_t index) {
    closeConnection();
    const zhanqi::ServerEntry& entry = room_.servers[index];
    unsigned connection = connection_;
    boost::system::error_code error;
    auto address = boost::asio::ip::make_address(entry.address, error);
    if (error || entry.port <= 0 || entry.port > 0xFFFF) {
        // Only numeric addresses and real ports can be connected to; anything
        // else fails like a refused connect, on the loop so that trying the
        // next server does not recurse.
        boost::asio::post(
            eventLoop_, [this, connection] { onConnect(connection, boost::asio::error::host_unreachable); });
        return;
    }
    socket_.async_connect(
        tcp::endpoint(address, static_cast<unsigned short>(entry.port)),
        [this, connection](const boost::system::error_code& e) { onConnect(connection, e); });
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

void CZqOpt::onConnect(unsigned connection, const boost::system::error_code& error) {
    if (connection != connection_) {
        return;
    }
    if (error) {
        reportStatus("连接服务器失败!");
        closeConnection();
        connectNextServer();
        return;
    }
    sendPacket(zhanqi::greetingPacket());
    pause();
    readHeader();
}

void CZqOpt::sendPacket(std::string packet) {
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
void CZqOpt::writeNext() {
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
                outgoing_.clear();
                writing_ = false;
                scheduleReconnect();
                return;
            }
            outgoing_.pop_front();
            writeNext();
        });
}

void CZqOpt::readHeader() {
    unsigned connection = connection_;
    boost::asio::async_read(
        socket_, boost::asio::buffer(receivePacket_->header),
        [this, connection](const boost::system::error_code& e, std::size_t) { onHeader(connection, e); });
}

void CZqOpt::onHeader(unsigned connection, const boost::system::error_code& error) {
    if (connection != connection_) {
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
        socket_, boost::asio::buffer(receivePacket_->text.data(), length),
        [this, connection](const boost::system::error_code& e, std::size_t) { onBody(connection, e); });
}

void CZqOpt::onBody(unsigned connection, const boost::system::error_code& error) {
    if (connection != connection_) {
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
            sendPacket(zhanqi::loginPacket(room_));
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
    sendPacket(zhanqi::keepAlivePacket(room_.roomNumber));
}

void CZqOpt::armKeepAlive() {
    unsigned connection = connection_;
    keepAliveTimer_.cancel();
    keepAliveTimer_.expires_after(settings_.keepAliveInterval);
    keepAliveTimer_.async_wait(
        [this, connection](const boost::system::error_code& e) { onKeepAlive(connection, e); });
}

void CZqOpt::onKeepAlive(unsigned connection, const boost::system::error_code& error) {
    if (error || connection != connection_) {
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
    ++connection_;
    keepAliveTimer_.cancel();
    outgoing_.clear();
    writing_ = false;
    if (socket_.is_open()) {
        boost::system::error_code ignored;
        socket_.close(ignored);
    }
}

void CZqOpt::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal("战旗");
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CZqOpt::pause() const {
    if (settings_.pause.count() > 0) {
        std::this_thread::sleep_for(settings_.pause);
    }
}
