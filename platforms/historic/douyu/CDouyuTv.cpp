#include "platforms/historic/douyu/CDouyuTv.h"

#include <cstdlib>
#include <ctime>
#include <thread>

#include "platforms/common/web_agents.h"
#include "sys/sys.h"
#include "util/abortable_sleep.h"
#include "util/fetch.h"
#include "util/host.h"
#include "util/text.h"

CDouyuTv::CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window)
    : CDouyuTv(eventLoop, window, DouyuSettings()) {}

CDouyuTv::CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window, DouyuSettings settings)
    : settings_(std::move(settings)),
      auth_(eventLoop, [this] { scheduleReconnect(); }),
      chat_(eventLoop, [this] { scheduleReconnect(); }),
      authKeepAlive_(eventLoop),
      chatKeepAlive_(eventLoop),
      window_(window),
      restart_(eventLoop, settings_.reconnectDelay, [this] { reportStatus("准备重新连接服务器..."); }),
      resolver_(eventLoop, settings_.lookup ? settings_.lookup : platforms::HostResolver::systemLookup),
      walk_(auth_.connection(),
            {[this](const char* text, const std::string& suffix) { reportStatus(text, suffix); },
             [this] { closeConnections(); }, [this] { scheduleReconnect(); }, [this] { onAuthConnected(); }},
            boost::asio::error::host_not_found) {
    if (!settings_.utcNow) {
        settings_.utcNow = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    }
    if (!settings_.random) {
        settings_.random = [] { return std::rand(); };
    }
}

CDouyuTv::~CDouyuTv() {
    restart_.cancel();
    closeConnections();
}

void CDouyuTv::reportStatus(const char* utf8Text, const std::string& suffix) {
    sendStatus(window_, util::utf8ToLocal(CDouyuTv::kStatusPrefix), util::utf8ToLocal(utf8Text) + suffix);
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
    restart_.clear();
    reportStatus("正在获取房间信息...");
    if (!lookupRoom()) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    std::size_t first = static_cast<unsigned>(settings_.random()) % servers_.size();
    reportStatus("正在连接.");
    walk_.begin(servers_, first);
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
                walk_.next();
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
    armKeepAlive(authKeepAlive_, auth_, &CDouyuTv::authKeepAliveText);
    chatKeepAlive_.cancel();
    beginChat();
}

// ---- chat phase --------------------------------------------------------------

void CDouyuTv::beginChat() {
    std::string host;
    int portOverride = 0;
    util::splitHostPort(settings_.chatHost, host, portOverride);
    std::string service = portOverride > 0 ? std::to_string(portOverride) : chatPort_;

    // Resolved off the network thread: a lookup that hangs must not hold up
    // the loop, nor a close.
    resolver_.resolve(host, service,
                      [this, host](const boost::system::error_code& ec, platforms::Endpoints endpoints) {
                          if (ec) {
                              reportStatus("DNS出错!", host + util::utf8ToLocal(" 无法解析!"));
                              scheduleReconnect();
                              return;
                          }
                          // A new server list replaces any chat connection of the previous one.
                          chat_.close();
                          chat_.connection().connect(endpoints, [this](const boost::system::error_code& ec) {
                              if (ec) {
                                  reportStatus("弹幕服务器连接失败!");
                                  scheduleReconnect();
                                  return;
                              }
                              onChatConnected();
                          });
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
    armKeepAlive(chatKeepAlive_, chat_, &CDouyuTv::chatKeepAliveText);
}

// ---- keep-alives ---------------------------------------------------------------

void CDouyuTv::armKeepAlive(platforms::KeepAliveTimer& keepAlive, douyu::DouyuLink& link,
                            std::string (CDouyuTv::*text)() const) {
    keepAlive.start(settings_.firstKeepAlive, settings_.keepAliveInterval,
                    [this, &link, generation = link.generation(), text] {
                        if (!link.isCurrent(generation)) {
                            return false;
                        }
                        link.sendText((this->*text)());
                        return true;
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
    restart_.schedule([this] {
        closeConnections();
        pause(settings_.loginPause);
        start(roomNumber_);
    });
}

void CDouyuTv::closeConnections() {
    resolver_.cancel();
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
