#include "platforms/bilibili/CBilibili.h"

#include <fstream>

#include "platforms/bilibili/bilibili_events.h"
#include "platforms/bilibili/bilibili_packet.h"
#include "util/fetch.h"
#include "util/text.h"

namespace {

using platforms::LinkFailure;

std::int64_t systemSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The service answers a request its risk control stops with HTTP 412 and a
// page instead of JSON; read it as the code it stands for.
constexpr const char* kPreconditionAnswer = R"({"code":-412})";

}  // namespace

CBilibili::CBilibili(boost::asio::io_context& eventLoop, MessageWindow& window, BilibiliSettings settings)
    : window_(window),
      settings_(std::move(settings)),
      dispatch_(
          window, settings_.unreadCommand
                      ? settings_.unreadCommand
                      : [this](std::string_view name, std::size_t bytes) { link_.traceUnread(name, bytes); }),
      lookup_(
          settings_.apiBase, settings_.liveApiBase,
          [this](const std::string& url, const std::string& cookies) { return httpGet(url, cookies); },
          settings_.clock ? settings_.clock : systemSeconds),
      link_(eventLoop, window, settings_.link,
            {.lookup = [this](const std::atomic<bool>& abandon) { return lookUp(abandon); },
             .connecting =
                 [this](const std::string& url, std::size_t) {
                     link_.status("正在连接服务器:",
                                  util::utf8ToLocal(platforms::parseWebSocketUrl(url)
                                                        .value_or(platforms::WebSocketUrl{false, url, "", ""})
                                                        .host));
                 },
             .opened = [this] { onOpened(); },
             .received = [this](std::string message) { onMessage(message); },
             .heartbeat = [] { return bilibili::encodePacket(bilibili::kHeartbeat, ""); },
             .ended = {}}) {}

CBilibili::~CBilibili() = default;

void CBilibili::start(std::string roomId) {
    roomId_ = std::move(roomId);
    link_.start();
}

std::string CBilibili::httpGet(const std::string& url, const std::string& cookies) const {
    if (settings_.get) {
        return settings_.get(url, cookies);
    }
    util::FetchOptions options;
    options.userAgent = link_.userAgent();
    options.acceptEncoding = "gzip, deflate";
    options.cookies = cookies;
    options.referer = "https://live.bilibili.com/";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.abort;
    options.abandon = &link_.abandonFlag();
    options.caFile = settings_.link.trustedCaFile;
    util::FetchAnswer answer = util::fetch(url, options);
    if (answer.status == 412) {
        return kPreconditionAnswer;
    }
    return answer.ok ? std::move(answer.body) : std::string();
}

// On the lookup worker.
platforms::LinkPlan CBilibili::lookUp(const std::atomic<bool>&) {
    platforms::LinkPlan plan;
    access_ = {};
    auto typed = bilibili::parseRoomNumber(roomId_);
    std::string cookieLine = readCookie();
    if (typed) {
        access_ = lookup_.lookup(*typed, cookieLine);
    } else {
        access_.status = bilibili::ChatAccess::NoSuchRoom;
    }
    switch (access_.status) {
        case bilibili::ChatAccess::NoSuchRoom:
            plan.failure = LinkFailure{LinkFailure::Kind::NoSuchRoom, {}};
            return plan;
        case bilibili::ChatAccess::RiskControl:
            plan.failure = LinkFailure{LinkFailure::Kind::RiskControl,
                                       access_.refusalCode ? std::to_string(access_.refusalCode) : ""};
            return plan;
        case bilibili::ChatAccess::Failed:
            plan.failure = LinkFailure{LinkFailure::Kind::LookupFailed, {}};
            return plan;
        case bilibili::ChatAccess::Ready:
            break;
    }
    if (access_.keysRefreshed) {
        plan.notes.push_back("签名失效,已重新获取密钥.");
    }
    // A login is claimed only for the host's own cookie, and only once the
    // service confirmed it.
    if (!cookieLine.empty()) {
        plan.notes.push_back(access_.loggedIn ? "已使用Cookie登录." : "Cookie已失效,以游客身份连接.");
    }
    if (cookieLine.empty() || !access_.loggedIn) {
        access_.uid = 0;
    }
    // The simulated room (and only it) serves its API over plain HTTP.
    bool plain = settings_.liveApiBase.starts_with("http://");
    for (const auto& host : access_.hosts) {
        int port = plain ? host.wsPort : host.wssPort;
        plan.urls.push_back((plain ? "ws://" : "wss://") + host.host + ":" + std::to_string(port) + "/sub");
    }
    plan.cookie = access_.cookies;
    return plan;
}

void CBilibili::onOpened() {
    dispatch_.startConnection(access_.uid != 0);
    link_.status("连接成功,准备登陆");
    link_.send(bilibili::encodePacket(
        bilibili::kAuth, bilibili::authBody(access_.uid, access_.roomId, access_.buvid, access_.token)));
}

void CBilibili::onMessage(const std::string& message) {
    std::vector<bilibili::Packet> packets;
    bool whole = bilibili::readPackets(message, packets);
    unsigned connection = link_.connection();
    for (const auto& packet : packets) {
        if (packet.operation == bilibili::kAuthReply) {
            onAuthReply(packet.body);
        } else if (packet.operation == bilibili::kCommand && link_.joined() && !handleCommand(packet.body)) {
            whole = false;
            break;
        }
        // A delivery or a failed login may have ended this connection.
        if (link_.connection() != connection) {
            return;
        }
    }
    if (!whole) {
        link_.fail({LinkFailure::Kind::Other, "解析弹幕失败"});
    }
}

bool CBilibili::handleCommand(const std::string& json) {
    return dispatch_.handle(json);
}

void CBilibili::onAuthReply(const std::string& body) {
    if (link_.joined()) {
        return;
    }
    if (!bilibili::authAccepted(body)) {
        auto code = bilibili::authReplyCode(body);
        link_.fail({LinkFailure::Kind::AuthRefused, code ? std::to_string(*code) : ""});
        return;
    }
    link_.status("登陆成功!");
    link_.loggedIn();
}

std::string CBilibili::readCookie() const {
    if (settings_.cookieFile.empty()) {
        return {};
    }
    std::ifstream file(settings_.cookieFile, std::ios::binary);
    std::string line;
    std::getline(file, line);
    // A browser's "Cookie: " header line pasted whole works too.
    if (line.starts_with("Cookie:")) {
        line.erase(0, 7);
    }
    return util::trimCopy(line);
}
