#include "platforms/douyuws/CDouyuWs.h"

#include "platforms/douyuws/douyu_codec.h"
#include "platforms/douyuws/douyuws_messages.h"
#include "util/fetch.h"
#include "util/text.h"

namespace {

using platforms::LinkFailure;

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
      window_(window),
      link_(eventLoop, window, settings_.link,
            {.lookup = [this](const std::atomic<bool>&) { return lookUp(); },
             .connecting =
                 [this](const std::string& url, std::size_t attempt) {
                     if (attempt == 0) {
                         reportStatus("正在连接弹幕服务器.");
                     } else {
                         reportStatus("正在连接弹幕服务器:", url);
                     }
                 },
             .opened = [this] { onOpened(); },
             .received = [this](std::string message) { onMessage(std::move(message)); },
             .heartbeat = [] { return douyu::frameText(douyuws::keepAliveText()); },
             .ended = [this] { closeChat(); }}) {
    if (settings_.chatUrls.empty()) {
        settings_.chatUrls = DouyuWsSettings::defaultChatUrls();
    }
}

CDouyuWs::~CDouyuWs() = default;

void CDouyuWs::reportStatus(const char* utf8Text, const std::string& suffix) {
    link_.status(utf8Text, suffix);
}

std::string CDouyuWs::fetch(const std::string& url) const {
    util::FetchOptions options;
    options.userAgent = link_.userAgent();
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.closing;
    options.abandon = &link_.abandonFlag();
    options.caFile = settings_.link.trustedCaFile;
    return util::fetchPage(url, options);
}

// ---- room lookup ---------------------------------------------------------------

void CDouyuWs::start(std::string roomId) {
    typedRoom_ = std::move(roomId);
    link_.start();
}

// On the lookup worker.
platforms::LinkPlan CDouyuWs::lookUp() {
    platforms::LinkPlan plan;
    if (!resolveRoom()) {
        plan.failure = LinkFailure{LinkFailure::Kind::LookupFailed, {}};
        return plan;
    }
    loadGiftNames();
    plan.urls = settings_.chatUrls;
    return plan;
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

void CDouyuWs::onOpened() {
    reportStatus("连接弹幕服务器成功!");
    sendText(douyuws::loginText(roomId_));
}

void CDouyuWs::onMessage(std::string message) {
    reader_.append(message);
    unsigned connection = link_.connection();
    std::string text;
    while (link_.connection() == connection) {
        switch (reader_.next(text)) {
            case douyuws::FrameReader::Result::NeedMore:
                return;
            case douyuws::FrameReader::Result::Broken:
                link_.fail({LinkFailure::Kind::Broken, {}});
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
    // Nothing is read before the server accepted the login.
    if (!joined_ && event.kind != douyuws::Event::Kind::LoginAccepted &&
        event.kind != douyuws::Event::Kind::Refused) {
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
            refuse(event.text);
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
            link_.traceUnread(douyu::findValue(text, "type@="), text.size());
            break;
    }
}

// A refused login on a room id the lookup did not confirm may well be the
// wrong room: the host should know which number was tried.
void CDouyuWs::refuse(const std::string& code) {
    std::string shown = util::localToUtf8(code);
    if (roomIdGuessed_) {
        link_.fail({LinkFailure::Kind::Other,
                    "未能查到真实房间号,按输入的房间号登陆被拒绝" +
                        (shown.empty() ? std::string() : "(" + shown.substr(0, 16) + ")")});
        return;
    }
    link_.fail({LinkFailure::Kind::AuthRefused, shown.substr(0, 16)});
}

void CDouyuWs::sendText(std::string_view text) {
    link_.send(douyu::frameText(text));
}

// `loginres` came: the keep-alive and the join's clock start.
void CDouyuWs::armKeepAlive() {
    link_.loggedIn();
}

// The connection ended: what it was in the middle of goes with it.
void CDouyuWs::closeChat() {
    reader_.reset();
    joined_ = false;
}
