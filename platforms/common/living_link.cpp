#include "platforms/common/living_link.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/feeder.h"
#include "platforms/common/web_agents.h"
#include "util/gbk.h"
#include "util/text.h"

namespace platforms {

namespace {

// A hostile server could name a new command in every message.
constexpr std::size_t kTracedNamesCap = 256;
constexpr std::size_t kTracedNameBytes = 64;

// A user agent from the settings file goes into request headers: no line
// breaks or other control characters, and a browser's length at most.
constexpr std::size_t kAgentCap = 512;

LivingLinkSettings completed(LivingLinkSettings settings) {
    std::string agent;
    for (unsigned char c : settings.userAgent.substr(0, kAgentCap)) {
        if (c >= 0x20 && c != 0x7F) {
            agent += static_cast<char>(c);
        }
    }
    settings.userAgent = util::trimCopy(agent);
    if (settings.userAgent.empty()) {
        settings.userAgent = kBrowserAgent;
    }
    settings.maxServers = std::max<std::size_t>(settings.maxServers, 1);
    return settings;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string hostOf(const std::string& url) {
    auto parsed = parseWebSocketUrl(url);
    return parsed ? parsed->host : url;
}

}  // namespace

void takeHosts(LivingLinkSettings& link, const PlatformHosts& hosts) {
    link.userAgent = hosts.browserAgent;
    link.trustedCaFile = hosts.value(kTestCaVariable);
    link.trace = hosts.trace;
}

LivingLink::LivingLink(boost::asio::io_context& eventLoop, MessageWindow& window, LivingLinkSettings settings,
                       LinkHooks hooks)
    : eventLoop_(eventLoop),
      window_(window),
      settings_(completed(std::move(settings))),
      hooks_(std::move(hooks)),
      ownClock_(settings_.clock ? nullptr : std::make_unique<SteadyLinkClock>(eventLoop)),
      clock_(settings_.clock ? *settings_.clock : *ownClock_),
      socket_(eventLoop),
      backoff_(settings_.retry, settings_.random),
      riskBackoff_(settings_.riskRetry, settings_.random),
      attemptTimer_(clock_),
      retryTimer_(clock_),
      loginTimer_(clock_),
      silenceTimer_(clock_),
      heartbeatTimer_(clock_),
      holdTimer_(clock_),
      abandon_(std::make_shared<std::atomic<bool>>(false)),
      alive_(std::make_shared<bool>(true)) {
    socket_.setLimits(settings_.limits);
    if (!settings_.trustedCaFile.empty()) {
        socket_.trustCertificate(readFile(settings_.trustedCaFile));
    }
}

LivingLink::~LivingLink() {
    *alive_ = false;
    abandon_->store(true, std::memory_order_release);
    if (worker_.joinable()) {
        worker_.join();
    }
    socket_.close();
}

// ---- lookup -------------------------------------------------------------------

void LivingLink::start() {
    if (state_ == State::LookingUp) {
        return;  // the lookup under way serves
    }
    closeConnection();
    retryTimer_.cancel();
    attemptTimer_.cancel();
    runLookup();
}

void LivingLink::runLookup() {
    state_ = State::LookingUp;
    ++lookups_;
    unsigned ticket = ++lookupTicket_;
    status("正在获取房间信息...");
    if (!hooks_.lookup) {
        onPlan({});
        return;
    }
    // The previous worker posted its plan before it ended; this join is brief.
    if (worker_.joinable()) {
        worker_.join();
    }
    worker_ = std::thread([this, ticket, alive = alive_] {
        LinkPlan plan = hooks_.lookup(*abandon_);
        boost::asio::post(eventLoop_, [this, ticket, alive, plan = std::move(plan)]() mutable {
            if (*alive && ticket == lookupTicket_ && state_ == State::LookingUp) {
                onPlan(std::move(plan));
            }
        });
    });
}

void LivingLink::onPlan(LinkPlan plan) {
    for (const auto& note : plan.notes) {
        status(note);
    }
    if (!plan.failure && plan.urls.empty()) {
        plan.failure = LinkFailure{LinkFailure::Kind::LookupFailed, {}};
    }
    if (plan.failure) {
        passFailed(*plan.failure);
        return;
    }
    if (plan.urls.size() > settings_.maxServers) {
        plan.urls.resize(settings_.maxServers);
    }
    if (plan.urls != urls_) {
        next_ = 0;
    }
    urls_ = std::move(plan.urls);
    cookie_ = std::move(plan.cookie);
    tried_ = 0;
    connectNext();
}

// ---- connection -----------------------------------------------------------------

void LivingLink::connectNext() {
    state_ = State::Connecting;
    auto now = clock_.now();
    if (lastAttempt_ && now - *lastAttempt_ < settings_.attemptSpacing) {
        attemptTimer_.arm(*lastAttempt_ + settings_.attemptSpacing - now, [this] { connectNow(); });
        return;
    }
    connectNow();
}

void LivingLink::connectNow() {
    lastAttempt_ = clock_.now();
    ++attempts_;
    ++tried_;
    std::size_t index = next_ % urls_.size();
    next_ = index + 1;
    current_ = urls_[index];
    if (hooks_.connecting) {
        hooks_.connecting(current_, tried_ - 1);
    }
    if (state_ != State::Connecting) {
        return;  // the hook ended the pass
    }
    WebSocketConnection::Headers headers{{"User-Agent", settings_.userAgent}};
    if (!settings_.origin.empty()) {
        headers.emplace_back("Origin", settings_.origin);
    }
    if (!cookie_.empty()) {
        headers.emplace_back("Cookie", cookie_);
    }
    socket_.open(current_,
                 {.opened = [this] { onOpened(); },
                  .received = [this](std::string message) { onReceived(std::move(message)); },
                  .failed = [this](const WebSocketConnection::Failure& f) { onConnectionFailed(f); }},
                 std::move(headers));
}

void LivingLink::onOpened() {
    state_ = State::Opened;
    unsigned connection = connection_;
    loginTimer_.arm(settings_.loginTimeout, [this] { fail({LinkFailure::Kind::LoginTimeout, {}}); });
    if (settings_.silenceLimit.count() > 0) {
        silenceTimer_.arm(settings_.silenceLimit, [this] { fail({LinkFailure::Kind::Silence, {}}); });
    }
    if (hooks_.opened && connection == connection_) {
        hooks_.opened();
    }
}

void LivingLink::onReceived(std::string message) {
    if (settings_.silenceLimit.count() > 0) {
        silenceTimer_.arm(settings_.silenceLimit, [this] { fail({LinkFailure::Kind::Silence, {}}); });
    }
    if (hooks_.received) {
        hooks_.received(std::move(message));
    }
}

void LivingLink::loggedIn() {
    if (state_ != State::Opened) {
        return;
    }
    state_ = State::Joined;
    loginTimer_.cancel();
    // The next pass begins with the server that took us in.
    next_ = (next_ + urls_.size() - 1) % urls_.size();
    holdTimer_.arm(settings_.holdToReset, [this] {
        backoff_.reset();
        riskBackoff_.reset();
    });
    if (settings_.heartbeatAtLogin) {
        beat();
    } else if (settings_.heartbeatInterval.count() > 0) {
        heartbeatTimer_.arm(settings_.heartbeatInterval, [this] { beat(); });
    }
}

void LivingLink::beat() {
    if (!hooks_.heartbeat || settings_.heartbeatInterval.count() <= 0) {
        return;
    }
    std::string packet = hooks_.heartbeat();
    if (!packet.empty()) {
        socket_.send(std::move(packet));
    }
    heartbeatTimer_.arm(settings_.heartbeatInterval, [this] { beat(); });
}

void LivingLink::send(std::string message) {
    if (state_ == State::Opened || state_ == State::Joined) {
        socket_.send(std::move(message));
    }
}

// ---- failures -----------------------------------------------------------------

void LivingLink::onConnectionFailed(const WebSocketConnection::Failure& failure) {
    LinkFailure reason = linkFailureOf(failure);
    if (reason.kind == LinkFailure::Kind::NotResolved) {
        reason.detail = hostOf(current_);
    }
    // Before anything opened, the next server of the pass gets its turn.
    if (state_ == State::Connecting && tried_ < urls_.size()) {
        status(reason.text());
        closeConnection();
        connectNext();
        return;
    }
    passFailed(reason);
}

void LivingLink::fail(LinkFailure failure) {
    if (state_ == State::Idle || state_ == State::Waiting) {
        return;
    }
    passFailed(failure);
}

void LivingLink::passFailed(const LinkFailure& failure) {
    closeConnection();
    attemptTimer_.cancel();
    state_ = State::Waiting;
    ++lookupTicket_;  // a plan still coming is not wanted any more
    auto delay = failure.riskControl() ? riskBackoff_.next() : backoff_.next();
    auto seconds = std::max<long long>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(delay).count() / 1000 +
               (std::chrono::duration_cast<std::chrono::milliseconds>(delay).count() % 1000 >= 500 ? 1 : 0));
    status(failure.text() + "," + std::to_string(seconds) + "秒后重试");
    retryTimer_.arm(delay, [this] { runLookup(); });
}

void LivingLink::closeConnection() {
    bool hadOpened = state_ == State::Opened || state_ == State::Joined;
    socket_.close();
    loginTimer_.cancel();
    silenceTimer_.cancel();
    heartbeatTimer_.cancel();
    holdTimer_.cancel();
    traced_.clear();
    ++connection_;
    if (state_ != State::Waiting && state_ != State::LookingUp) {
        state_ = State::Idle;
    }
    if (hadOpened && hooks_.ended) {
        hooks_.ended();
    }
}

bool LivingLink::busy() const {
    return state_ == State::LookingUp || (state_ == State::Connecting && !attemptTimer_.armed());
}

// ---- statuses ------------------------------------------------------------------

void LivingLink::status(std::string_view utf8Text, const std::string& suffix) {
    // A server names hosts and reasons; sendStatus cuts what would be no
    // status line any more.
    sendStatus(window_, util::utf8ToLocal(settings_.statusPrefix),
               util::utf8ToLocal(std::string(utf8Text)) + suffix);
}

void LivingLink::traceUnread(std::string_view command, std::size_t bytes) {
    if (!settings_.trace || traced_.size() >= kTracedNamesCap) {
        return;
    }
    std::string name(command.substr(0, kTracedNameBytes));
    if (!traced_.insert(name).second) {
        return;
    }
    std::fprintf(stderr, "%s: unread command %s (%zu bytes)\n", settings_.statusPrefix.c_str(), name.c_str(),
                 bytes);
}

}  // namespace platforms
