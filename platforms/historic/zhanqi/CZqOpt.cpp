#include "platforms/historic/zhanqi/CZqOpt.h"

#include <thread>

#include "platforms/common/web_agents.h"
#include "util/abortable_sleep.h"
#include "util/text.h"

CZqOpt::CZqOpt(boost::asio::io_context& eventLoop, MessageWindow& window, ZhanqiSettings settings)
    : keepAlive_(eventLoop),
      window_(window),
      settings_(std::move(settings)),
      restart_(eventLoop, settings_.restartDelay, [this] { reportStatus("准备重新连接服务器..."); }),
      link_(eventLoop, [this] { scheduleReconnect(); }),
      walk_(link_,
            {[this](const char* text, const std::string& suffix) { reportStatus(text, suffix); },
             [this] { closeConnection(); }, [this] { scheduleReconnect(); }, [this] { onConnected(); }}) {}

CZqOpt::~CZqOpt() = default;

void CZqOpt::start(std::string roomId) {
    roomId_ = std::move(roomId);
    room_.roomNumber = 0;
    restart_.clear();
    reportStatus("正在获取房间信息.");
    lookupRoom();
    if (room_.servers.empty()) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    walk_.begin(room_.servers, static_cast<unsigned>(settings_.random()) % room_.servers.size());
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

void CZqOpt::onConnected() {
    link_.send(zhanqi::greetingPacket());
    pause();
    readPacket();
}

void CZqOpt::readPacket() {
    static const platforms::FrameRule rule{
        zhanqi::kHeaderLength, [](std::string_view header) -> std::optional<std::size_t> {
            int length = zhanqi::packetTextLength(reinterpret_cast<const std::uint8_t*>(header.data()));
            if (length < 0) {
                return std::nullopt;
            }
            return static_cast<std::size_t>(length);
        }};
    link_.readFrame(rule, [this](platforms::StreamConnection::ReadOutcome outcome, std::string_view text) {
        onPacket(outcome, text);
    });
}

void CZqOpt::onPacket(platforms::StreamConnection::ReadOutcome outcome, std::string_view text) {
    using Outcome = platforms::StreamConnection::ReadOutcome;
    if (outcome == Outcome::HeaderFailure) {
        reportStatus("服务器断开!");
        closeConnection();
        walk_.next();
        return;
    }
    if (outcome == Outcome::BodyFailure) {
        reportStatus("服务器断开!");
        scheduleReconnect();
        return;
    }
    if (dispatchMessage(text)) {
        readPacket();
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
            keepAlive_.start(settings_.keepAliveInterval, settings_.keepAliveInterval,
                             [this, connection = link_.generation()] {
                                 if (!link_.isCurrent(connection)) {
                                     return false;
                                 }
                                 sendKeepAlive();
                                 return true;
                             });
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

void CZqOpt::scheduleReconnect() {
    restart_.schedule([this] {
        closeConnection();
        pause();
        start(roomId_);
    });
}

void CZqOpt::closeConnection() {
    keepAlive_.cancel();
    link_.close();
}

void CZqOpt::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal(CZqOpt::kStatusPrefix);
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CZqOpt::pause() const {
    util::sleepUnlessAborted(settings_.pause, settings_.abort);
}
