#include "platforms/douyuws/CDouyuWs.h"

#include "platforms/douyu/douyu_codec.h"
#include "platforms/douyuws/douyuws_messages.h"
#include "util/fetch.h"
#include "util/text.h"

namespace {

// The web host answers today's browsers; an agent of 2016 gets a page about upgrading.
constexpr const char* kAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0.0.0 "
    "Safari/537.36";

}  // namespace

std::vector<std::string> DouyuWsSettings::defaultChatUrls() {
    std::vector<std::string> urls{"wss://danmuproxy.douyu.com:8506/"};
    for (int port = 8501; port <= 8505; ++port) {
        urls.push_back("wss://danmuproxy.douyu.com:" + std::to_string(port) + "/");
    }
    return urls;
}

DouyuWsSettings DouyuWsSettings::withHosts(std::string apiBase, std::string giftBase, std::string webconfBase,
                                           const std::string& chatUrl) {
    DouyuWsSettings s;
    s.apiBase = std::move(apiBase);
    s.giftBase = std::move(giftBase);
    s.webconfBase = std::move(webconfBase);
    if (!chatUrl.empty()) {
        s.chatUrls = {chatUrl};
    }
    return s;
}

CDouyuWs::CDouyuWs(boost::asio::io_context& eventLoop, MessageWindow& window, DouyuWsSettings settings)
    : settings_(std::move(settings)),
      eventLoop_(eventLoop),
      window_(window),
      chat_(eventLoop),
      silenceTimer_(eventLoop),
      keepAliveTimer_(eventLoop),
      reconnectTimer_(eventLoop) {
    if (settings_.chatUrls.empty()) {
        settings_.chatUrls = DouyuWsSettings::defaultChatUrls();
    }
}

CDouyuWs::~CDouyuWs() {
    reconnectTimer_.cancel();
    closeChat();
}

void CDouyuWs::reportStatus(const char* utf8Text, const std::string& suffix) {
    sendStatus(window_, util::utf8ToLocal("斗鱼"), util::utf8ToLocal(utf8Text) + suffix);
}

// A join that fails on a room id the lookup did not confirm may well be the
// wrong room: the host should know which number was tried.
void CDouyuWs::reportJoinFailure(const char* utf8Text, const char* utf8TextForTypedNumber) {
    reportStatus(roomIdGuessed_ ? utf8TextForTypedNumber : utf8Text);
}

std::string CDouyuWs::fetch(const std::string& url) const {
    util::FetchOptions options;
    options.userAgent = kAgent;
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.closing;
    return util::fetchPage(url, options);
}

// ---- room lookup ---------------------------------------------------------------

void CDouyuWs::start(std::string roomId) {
    typedRoom_ = std::move(roomId);
    reconnectPending_ = false;
    reportStatus("正在获取房间信息...");
    if (!resolveRoom()) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    loadGiftNames();
    passStart_ = urlIndex_;
    reportStatus("正在连接弹幕服务器.");
    connectChat();
}

bool CDouyuWs::resolveRoom() {
    if (auto id = douyuws::roomIdFromBetard(fetch(douyuws::betardUrl(settings_.apiBase, typedRoom_)))) {
        roomId_ = *id;
        roomIdGuessed_ = false;
        return true;
    }
    if (auto number = douyuws::roomNumberOf(typedRoom_)) {
        roomId_ = *number;
        roomIdGuessed_ = true;
        return true;
    }
    return false;
}

// Each list is fetched until it has been read once; a list that cannot be
// had leaves its gifts to be spoken as "礼物", and is tried again at the next
// restart.
void CDouyuWs::loadGiftNames() {
    if (roomGiftsOf_ != roomId_) {
        roomGifts_.clear();
        douyuws::GiftNames names;
        auto get = [this](const std::string& url) { return fetch(url); };
        if (douyuws::fetchRoomGifts(get, settings_.giftBase, roomId_, names)) {
            roomGifts_ = std::move(names);
            roomGiftsOf_ = roomId_;
        }
    }
    if (!propsLoaded_) {
        douyuws::GiftNames names;
        if (douyuws::readPropList(fetch(douyuws::propListUrl(settings_.webconfBase)), names)) {
            props_ = std::move(names);
            propsLoaded_ = true;
        }
    }
}

// ---- chat connection -------------------------------------------------------------

void CDouyuWs::connectChat() {
    closeChat();
    chat_.open(settings_.chatUrls[urlIndex_],
               {.opened = [this] { onOpened(); },
                .received = [this](std::string message) { onMessage(std::move(message)); },
                .failed = [this](platforms::WebSocketConnection::Stage stage,
                                 const boost::system::error_code&) { onFailed(stage); }});
}

void CDouyuWs::onOpened() {
    opened_ = true;
    reportStatus("连接弹幕服务器成功!");
    sendText(douyuws::loginText(roomId_));
    armSilence();
}

void CDouyuWs::onFailed(platforms::WebSocketConnection::Stage stage) {
    using Stage = platforms::WebSocketConnection::Stage;
    if (!opened_ && (stage == Stage::Resolve || stage == Stage::Connect || stage == Stage::Handshake)) {
        reportStatus("连接弹幕服务器失败!");
        closeChat();
        urlIndex_ = (urlIndex_ + 1) % settings_.chatUrls.size();
        if (urlIndex_ == passStart_) {
            scheduleReconnect();
            return;
        }
        reportStatus("正在连接弹幕服务器:", settings_.chatUrls[urlIndex_]);
        connectChat();
        return;
    }
    reportStatus("弹幕服务器读取数据失败!");
    closeChat();
    scheduleReconnect();
}

void CDouyuWs::onMessage(std::string message) {
    armSilence();
    reader_.append(message);
    unsigned generation = chat_.generation();
    std::string text;
    while (chat_.generation() == generation) {
        switch (reader_.next(text)) {
            case douyuws::FrameReader::Result::NeedMore:
                return;
            case douyuws::FrameReader::Result::Broken:
                reportStatus("弹幕服务器数据出错!");
                closeChat();
                scheduleReconnect();
                return;
            case douyuws::FrameReader::Result::Frame:
                handleText(text);
                break;
        }
    }
}

void CDouyuWs::handleText(std::string_view text) {
    douyuws::Event event = douyuws::parseEvent(text);
    if (douyuws::isFromOtherRoom(event, roomId_)) {
        return;
    }
    switch (event.kind) {
        case douyuws::Event::Kind::LoginAccepted:
            if (!joined_) {
                joined_ = true;
                sendText(douyuws::joinGroupText(roomId_));
                reportStatus("登陆成功!");
                armKeepAlive();
            }
            break;
        case douyuws::Event::Kind::Refused:
            reportJoinFailure("弹幕服务器拒绝登陆!", "未能查到真实房间号,按输入的房间号登陆被拒绝!");
            closeChat();
            scheduleReconnect();
            break;
        case douyuws::Event::Kind::Chat:
            sendChat(window_, std::move(event.name), std::move(event.text));
            break;
        case douyuws::Event::Kind::PaidChat:
            sendChat(window_, std::move(event.name), std::move(event.text), true);
            break;
        case douyuws::Event::Kind::Enter:
            sendEnter(window_, std::move(event.name));
            break;
        case douyuws::Event::Kind::Gift:
            sendGift(window_, std::move(event.name),
                     event.text.empty() ? douyuws::giftNameOf(event.giftId, roomGifts_, props_)
                                        : std::move(event.text),
                     event.count);
            break;
        case douyuws::Event::Kind::Ignored:
            break;
    }
}

void CDouyuWs::sendText(std::string_view text) {
    chat_.send(douyu::frameText(text));
}

// ---- timers ----------------------------------------------------------------------

void CDouyuWs::armSilence() {
    unsigned arm = ++silenceArm_;
    silenceTimer_.expires_after(settings_.silenceLimit);
    silenceTimer_.async_wait([this, arm](const boost::system::error_code& ec) {
        if (ec || arm != silenceArm_) {
            return;
        }
        reportJoinFailure("弹幕服务器长时间无响应!", "未能查到真实房间号,按输入的房间号加入后长时间无响应!");
        closeChat();
        scheduleReconnect();
    });
}

void CDouyuWs::armKeepAlive() {
    unsigned arm = ++keepAliveArm_;
    keepAliveTimer_.expires_after(settings_.keepAliveInterval);
    keepAliveTimer_.async_wait([this, arm](const boost::system::error_code& ec) {
        if (ec || arm != keepAliveArm_) {
            return;
        }
        sendText(douyuws::keepAliveText());
        armKeepAlive();
    });
}

// ---- failures and restarts ---------------------------------------------------------

void CDouyuWs::scheduleReconnect() {
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
        closeChat();
        start(typedRoom_);
    });
}

void CDouyuWs::closeChat() {
    chat_.close();
    ++silenceArm_;
    ++keepAliveArm_;
    silenceTimer_.cancel();
    keepAliveTimer_.cancel();
    reader_.reset();
    opened_ = false;
    joined_ = false;
}
