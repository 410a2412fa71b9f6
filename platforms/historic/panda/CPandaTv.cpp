#include "platforms/historic/panda/CPandaTv.h"

#include <thread>

#include "platforms/common/web_agents.h"
#include "util/abortable_sleep.h"
#include "util/text.h"

CPandaTv::CPandaTv(boost::asio::io_context& eventLoop, MessageWindow& window, PandaSettings settings)
    : keepAlive_(eventLoop),
      window_(window),
      frame_(std::make_unique<panda::PandaFrame>()),
      settings_(settings),
      restart_(eventLoop, settings_.restartDelay, [this] { reportStatus("准备重新连接服务器..."); }),
      link_(eventLoop,
            [this] {
                // The read that is still outstanding fails next and restarts.
                closeConnection(false);
            }),
      walk_(link_,
            {[this](const char* text, const std::string& suffix) { reportStatus(text, suffix); },
             [this] { closeConnection(); }, [this] { scheduleReconnect(); }, [this] { onConnected(); }}) {}

CPandaTv::~CPandaTv() = default;

void CPandaTv::start(std::string roomId) {
    roomId_ = std::move(roomId);
    keepAlive_.cancel();
    restart_.clear();
    lookupRoom();
    if (info_.servers.empty()) {
        scheduleReconnect();
        return;
    }
    walk_.begin(info_.servers, 0);
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

void CPandaTv::onConnected() {
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
    void* into = frame_->data.data() + next.offset;
    if (next.what == panda::NextRead::Body) {
        link_.readExact(into, next.length, [this](const boost::system::error_code& e) { onFrameBody(e); });
    } else {
        link_.readExact(into, next.length, [this](const boost::system::error_code& e) { onFrameHead(e); });
    }
}

void CPandaTv::onFrameHead(const boost::system::error_code& error) {
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

void CPandaTv::onFrameBody(const boost::system::error_code& error) {
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
        keepAlive_.start(settings_.heartbeatInterval, settings_.heartbeatInterval,
                         [this, connection = link_.generation()] {
                             if (!link_.isCurrent(connection)) {
                                 return false;
                             }
                             sendHeartbeat();
                             return true;
                         });
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

void CPandaTv::disconnected() {
    reportStatus("服务器断开!");
    scheduleReconnect();
}

void CPandaTv::scheduleReconnect() {
    if (restart_.schedule([this] { start(roomId_); })) {
        closeConnection();
    }
}

void CPandaTv::closeConnection(bool abandon) {
    keepAlive_.cancel();
    link_.close(abandon);
}

void CPandaTv::reportStatus(const char* utf8Text, const std::string& suffix) {
    static const std::string prefix = util::utf8ToLocal(CPandaTv::kStatusPrefix);
    sendStatus(window_, prefix, util::utf8ToLocal(utf8Text) + suffix);
}

void CPandaTv::pause() const {
    util::sleepUnlessAborted(settings_.pause, settings_.abort);
}
