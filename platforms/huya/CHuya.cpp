#include "platforms/huya/CHuya.h"

#include <boost/asio/post.hpp>
#include <random>

#include "platforms/huya/huya_page.h"
#include "util/fetch.h"
#include "util/text.h"

namespace {

constexpr const char* kAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/141.0.0.0 "
    "Safari/537.36";

}  // namespace

CHuya::CHuya(boost::asio::io_context& eventLoop, MessageWindow& window, HuyaSettings settings)
    : settings_(std::move(settings)),
      eventLoop_(eventLoop),
      window_(window),
      chat_(eventLoop),
      silenceTimer_(eventLoop),
      heartbeatTimer_(eventLoop),
      reconnectTimer_(eventLoop) {}

CHuya::~CHuya() {
    abortFetch_->store(true);
    alive_.reset();
    if (fetcher_.joinable()) {
        fetcher_.join();
    }
    reconnectTimer_.cancel();
    closeChat();
}

void CHuya::reportStatus(const char* utf8Text) {
    sendStatus(window_, util::utf8ToLocal("虎牙"), util::utf8ToLocal(utf8Text));
}

// ---- room page -------------------------------------------------------------------

void CHuya::start(std::string roomId) {
    typedRoom_ = std::move(roomId);
    reconnectPending_ = false;
    reportStatus("正在获取房间信息...");
    fetchPage();
}

// The fetch blocks for up to its time-out, so it runs beside the loop; its
// answer comes back through the loop, and only while this lookup is wanted.
void CHuya::fetchPage() {
    if (fetcher_.joinable()) {
        fetcher_.join();  // the previous lookup has posted its answer already
    }
    unsigned lookup = ++lookup_;
    util::FetchOptions options;
    options.userAgent = kAgent;
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = abortFetch_.get();
    std::string url = huya::roomPageUrl(settings_.pageBase, typedRoom_);
    const std::atomic<bool>* closing = settings_.closing;
    std::weak_ptr<int> alive = alive_;
    fetcher_ = std::thread([this, lookup, options, url, closing, alive] {
        std::string page = closing && closing->load() ? std::string() : util::fetchPage(url, options);
        boost::asio::post(eventLoop_, [this, lookup, alive, page = std::move(page)]() mutable {
            if (!alive.expired()) {
                onPage(lookup, std::move(page));
            }
        });
    });
}

void CHuya::onPage(unsigned lookup, std::string page) {
    if (lookup != lookup_) {
        return;
    }
    if (page.empty()) {
        fail("获取房间信息失败!");
        return;
    }
    auto ids = huya::readRoomPage(page);
    if (!ids) {
        fail("房间不存在");
        return;
    }
    ids_ = *ids;
    reportStatus("正在连接弹幕服务器.");
    connectChat();
}

// ---- chat connection -------------------------------------------------------------

void CHuya::connectChat() {
    closeChat();
    traced_.clear();
    chat_.open(settings_.chatUrl, {.opened = [this] { onOpened(); },
                                   .received = [this](std::string message) { onMessage(message); },
                                   .failed = [this](platforms::WebSocketConnection::Stage stage,
                                                    const boost::system::error_code&) { onFailed(stage); }});
}

void CHuya::onOpened() {
    opened_ = true;
    reportStatus("连接弹幕服务器成功!");
    // Either registration may be what the server of the day honours; one
    // that the ids do not allow is left out.
    for (const std::string& command : {huya::registerUserCommand(ids_), huya::registerGroupCommand(ids_)}) {
        if (!command.empty()) {
            chat_.send(command);
        }
    }
    chat_.send(huya::heartbeatCommand());
    armSilence();
    armHeartbeat();
}

void CHuya::onFailed(platforms::WebSocketConnection::Stage stage) {
    using Stage = platforms::WebSocketConnection::Stage;
    bool connecting =
        !opened_ && (stage == Stage::Resolve || stage == Stage::Connect || stage == Stage::Handshake);
    fail(connecting ? "连接弹幕服务器失败!" : "弹幕服务器读取数据失败!");
}

void CHuya::onMessage(const std::string& message) {
    armSilence();
    huya::Decoded decoded = huya::decodeMessage(message);
    if (!joined_ && decoded.valid &&
        (decoded.type == huya::kRegisterRsp || decoded.type == huya::kRegisterGroupRsp ||
         decoded.type == huya::kPushMessage || decoded.type == huya::kPushMessageV2)) {
        joined_ = true;
        joinedAt_ = std::chrono::steady_clock::now();
        reportStatus("登陆成功!");
    }
    if (!decoded.valid) {
        traceUnread(-1, message.size());  // a message that does not decode is dropped alone
    }
    for (const auto& [uri, size] : decoded.unread) {
        traceUnread(uri, size);
    }
    unsigned generation = chat_.generation();
    for (huya::Event& event : decoded.events) {
        if (chat_.generation() != generation) {
            return;  // the connection ended while an event was handed over
        }
        deliver(event);
    }
}

void CHuya::deliver(huya::Event& event) {
    switch (event.kind) {
        case huya::Event::Kind::Chat:
            sendChat(window_, std::move(event.name), std::move(event.text));
            break;
        case huya::Event::Kind::Gift:
            sendGift(window_, std::move(event.name), std::move(event.text), event.count);
            break;
        case huya::Event::Kind::Enter:
            sendEnter(window_, std::move(event.name));
            break;
    }
}

void CHuya::traceUnread(std::int64_t uri, std::size_t size) {
    if (settings_.trace && traced_.size() < 256 && traced_.insert(uri).second) {
        *settings_.trace << "huya: "
                         << (uri < 0 ? std::string("undecodable message") : "uri " + std::to_string(uri))
                         << " not read (" << size << " bytes)\n";
    }
}

// ---- timers ----------------------------------------------------------------------

void CHuya::armSilence() {
    unsigned arm = ++silenceArm_;
    silenceTimer_.expires_after(settings_.silenceLimit);
    silenceTimer_.async_wait([this, arm](const boost::system::error_code& ec) {
        if (!ec && arm == silenceArm_) {
            fail("弹幕服务器长时间无响应!");
        }
    });
}

void CHuya::armHeartbeat() {
    unsigned arm = ++heartbeatArm_;
    heartbeatTimer_.expires_after(settings_.heartbeatInterval);
    heartbeatTimer_.async_wait([this, arm](const boost::system::error_code& ec) {
        if (!ec && arm == heartbeatArm_) {
            chat_.send(huya::heartbeatCommand());
            armHeartbeat();
        }
    });
}

// ---- failures and restarts ---------------------------------------------------------

void CHuya::fail(const char* utf8Text) {
    if (joined_ && std::chrono::steady_clock::now() - joinedAt_ >= settings_.steadyJoin) {
        failuresInARow_ = 0;
    }
    reportStatus(utf8Text);
    closeChat();
    scheduleReconnect();
}

// 3 s, 6 s, 12 s ... up to the cap, each within +-10 % so that many clients
// cut off together do not come back together.
void CHuya::scheduleReconnect() {
    if (reconnectPending_) {
        return;
    }
    reportStatus("准备重新连接服务器...");
    reconnectPending_ = true;
    int doublings = std::min(failuresInARow_++, 20);
    auto delay = std::min(settings_.reconnectDelay * (std::int64_t{1} << doublings), settings_.reconnectCap);
    static thread_local std::minstd_rand random{std::random_device{}()};
    delay += delay * (static_cast<int>(random() % 21) - 10) / 100;
    reconnectTimer_.expires_after(delay);
    reconnectTimer_.async_wait([this](const boost::system::error_code& ec) {
        if (!ec) {
            start(typedRoom_);
        }
    });
}

void CHuya::closeChat() {
    chat_.close();
    ++silenceArm_;
    ++heartbeatArm_;
    silenceTimer_.cancel();
    heartbeatTimer_.cancel();
    opened_ = false;
    joined_ = false;
}
