#include "platforms/historic/longzhu/CLZopt.h"

#include <atomic>
#include <cstdio>

#include "platforms/common/web_agents.h"
#include "platforms/historic/longzhu/longzhu_reply.h"
#include "util/text.h"

namespace {

// One counter for the process, not per client: only the network thread
// changes it, other threads may read it.
std::atomic<std::int32_t> consecutiveFailures{0};

constexpr int kFailuresBeforeRestart = 3;

// The cookie file lies in the current directory, where it always has.
util::FetchOptions fetchOptions(const LongzhuSettings& settings, std::string referer) {
    util::FetchOptions options;
    options.userAgent = platforms::kFirefoxAgent;
    options.cookieFile = "cookie.txt";
    options.referer = std::move(referer);
    options.timeout = settings.fetchTimeout;
    options.abort = settings.abort;
    return options;
}

}  // namespace

CLZopt::CLZopt(boost::asio::io_context& eventLoop, MessageWindow& window, LongzhuSettings settings)
    : window_(window),
      settings_(settings),
      pollTimer_(eventLoop),
      restart_(eventLoop, settings_.restartDelay, [] {
          // Only a console shows this; the status line keeps the failure until
          // the next lookup replaces it. One write call keeps the line whole.
          std::fputs("准备重新连接服务器...\n", stderr);
          std::fflush(stderr);
      }) {}

std::int32_t CLZopt::failCount() {
    return consecutiveFailures.load();
}

void CLZopt::start(std::string roomId) {
    roomId_ = std::move(roomId);
    restart_.clear();
    lookupRoom();
}

void CLZopt::lookupRoom() {
    pageHost_ = settings_.pageHost;
    chatHost_ = settings_.chatHost;
    reportStatus("正在获取房间信息...");
    std::string page = util::fetchPage(pageHost_ + "/" + roomId_, fetchOptions(settings_, {}));
    chatRoomId_ = page.empty() ? 0 : longzhu::chatRoomIdFromPage(page);
    if (chatRoomId_ == 0) {
        reportStatus("获取房间信息失败!");
        scheduleReconnect();
        return;
    }
    reportStatus("开始接收弹幕!");
    next_ = 0;
    from_ = 0;
    // Failures count from the first poll of each lookup, so a chat server that
    // refuses every poll shows its failure and brings a restart.
    consecutiveFailures = 0;
    armPoll(settings_.firstPoll);
}

void CLZopt::armPoll(std::chrono::microseconds delay) {
    pollTimer_.cancel();
    unsigned generation = ++pollGeneration_;
    pollTimer_.expires_after(delay);
    pollTimer_.async_wait(
        [this, generation](const boost::system::error_code& error) { onPoll(error, generation); });
}

void CLZopt::onPoll(const boost::system::error_code& error, unsigned generation) {
    if (error || generation != pollGeneration_ || restart_.pending()) {
        return;
    }
    std::string url = chatHost_ + longzhu::pollPath(chatRoomId_, from_, next_);
    std::string referer = "http://" + pageHost_ + "/" + roomId_;
    std::string body = util::fetchPage(url, fetchOptions(settings_, referer));

    std::chrono::microseconds delay = settings_.retryDelay;
    if (!body.empty() && parseReply(body)) {
        consecutiveFailures = 0;
        delay = next_ > 0 ? settings_.replyDelayUnit * next_ : settings_.pollFloor;
    } else if (++consecutiveFailures >= kFailuresBeforeRestart) {
        reportStatus("获取弹幕失败!");
        scheduleReconnect();
        return;
    }
    armPoll(delay);
}

bool CLZopt::parseReply(const std::string& body) {
    longzhu::Reply reply = longzhu::decodeReply(body);
    if (reply.hasCursor) {
        next_ = reply.next;
        from_ = reply.from;
    }
    for (auto& message : reply.messages) {
        if (message.kind == longzhu::Message::Kind::Chat) {
            sendChat(window_, std::move(message.nickname), std::move(message.text));
        } else {
            sendGift(window_, std::move(message.nickname), std::move(message.text), message.count);
        }
    }
    if (reply.status != longzhu::ReplyStatus::Ok) {
        reportStatus("解析弹幕失败!");
        return false;
    }
    return true;
}

void CLZopt::reportStatus(const char* utf8Text) {
    sendStatus(window_, util::utf8ToLocal(CLZopt::kStatusPrefix), util::utf8ToLocal(utf8Text));
}

void CLZopt::scheduleReconnect() {
    if (restart_.schedule([this] { start(roomId_); })) {
        pollTimer_.cancel();
    }
}
