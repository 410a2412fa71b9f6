// The machinery every living client (a service that still runs) stands on;
// the client itself is a codec and a few hooks.
//
// One pass: the client's lookup runs on a worker thread (it may block on the
// web: room id, keys, server list) and its plan comes back to the loop. Then
// the plan's servers (at most eight) are tried in turn over ws:// or wss://,
// each upgrade carrying the browser identity, the Origin and the plan's
// cookie, never more than one attempt a second. An open connection gets
// `opened` (the client sends its login) and must be accepted within the login
// timeout: the client calls `loggedIn` once the server said so, and only then
// should it read anything. From then on the heartbeat runs, and a silence
// longer than its limit ends the connection.
//
// Any failure ends the connection and, once every server of the pass failed
// (or after a connection that had been open), waits per the back-off and
// starts a new pass. The status line says why and when the next try comes
// ("连接失败(拒绝连接),30秒后重试"). A join that holds for a minute resets the
// back-off; refusals of the service's risk control have a slower schedule of
// their own.
//
// Threads: construct and destroy on any one thread while the loop does not
// run the link's handlers (before the network thread starts or after it
// ended). Every other method on the loop's thread. Hooks run on the loop,
// except `lookup`, which runs on the worker thread: while it runs, nothing
// else of the client touches what it touches (no connection exists then), and
// its plan reaches the loop through a post, which orders the two. Destruction
// raises the abandon flag that the lookup hands to its fetches and waits for
// the worker, which ends within a few tens of milliseconds.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/message_window.h"
#include "core/platform_hosts.h"
#include "platforms/common/backoff.h"
#include "platforms/common/link_clock.h"
#include "platforms/common/link_failure.h"
#include "platforms/common/websocket_connection.h"

namespace platforms {

using namespace std::chrono_literals;

struct LivingLinkSettings {
    std::string statusPrefix;  // UTF-8, e.g. "哔哩哔哩"
    std::string userAgent;     // empty: kBrowserAgent
    std::string origin;        // the Origin of the upgrade; none when empty
    Backoff::Schedule retry{3s, 5min, 0.2};
    Backoff::Schedule riskRetry{60s, 10min, 0.2};
    LinkClock::Duration holdToReset = 60s;  // a join this long resets the back-off
    LinkClock::Duration loginTimeout = 10s;
    LinkClock::Duration heartbeatInterval{};  // zero: no heartbeat
    bool heartbeatAtLogin = true;             // the first one at `loggedIn`, not an interval later
    LinkClock::Duration silenceLimit{};       // zero: no silence limit
    LinkClock::Duration attemptSpacing = 1s;  // between two connection attempts
    std::size_t maxServers = 8;
    // A PEM file of certificates trusted besides the system's store, for tests
    // (SONARO_TEST_CA_FILE).
    std::string trustedCaFile;
    // Unread commands are named on standard error, once per connection (SONARO_TRACE).
    bool trace = false;
    WebSocketConnection::Limits limits;
    // The timers' clock; the steady clock on the loop when null. Must outlive the link.
    LinkClock* clock = nullptr;
    // Numbers in [0, 1) for the back-off's jitter; random when empty.
    std::function<double()> random;
};

// Puts into `link` what the environment and the settings give every living
// client: the user agent, the trusted test certificates, the trace switch.
void takeHosts(LivingLinkSettings& link, const PlatformHosts& hosts);

// What a lookup found: where to connect, or why not.
struct LinkPlan {
    std::vector<std::string> urls;  // ws:// or wss://, in the order to try them
    std::string cookie;             // sent on the upgrade; a secret, never shown
    std::optional<LinkFailure> failure;
    std::vector<std::string> notes;  // statuses (UTF-8) to show before connecting
};

struct LinkHooks {
    // Worker thread; may block. `abandon` is raised when the link goes: hand it
    // to every fetch (FetchOptions::abandon).
    std::function<LinkPlan(const std::atomic<bool>& abandon)> lookup;
    // Loop. A connection attempt to `url` begins, the `attempt`-th of its
    // pass (from 0); e.g. a status.
    std::function<void(const std::string& url, std::size_t attempt)> connecting;
    // Loop. The connection is open: send the login.
    std::function<void()> opened;
    // Loop. One WebSocket message.
    std::function<void(std::string message)> received;
    // Loop. The packet of every heartbeat; empty: none.
    std::function<std::string()> heartbeat;
    // Loop. A connection that had opened ended: drop its codec state.
    std::function<void()> ended;
};

class LivingLink {
  public:
    LivingLink(boost::asio::io_context& eventLoop, MessageWindow& window, LivingLinkSettings settings,
               LinkHooks hooks);
    ~LivingLink();

    LivingLink(const LivingLink&) = delete;
    LivingLink& operator=(const LivingLink&) = delete;

    // Begins a pass at once: the lookup, then the servers. A connection or a
    // wait already under way is abandoned; a lookup under way is kept.
    void start();

    // Queues one message on the current connection; dropped without one.
    void send(std::string message);

    // The server accepted the login: the login timeout ends, the heartbeat
    // starts, and a join that now holds resets the back-off.
    void loggedIn();
    bool joined() const { return state_ == State::Joined; }

    // The client found the connection (or the login) failed: it ends, the
    // reason is shown, and the schedule decides the next try.
    void fail(LinkFailure failure);

    // A status line with the client's prefix; `suffix` is already GBK.
    void status(std::string_view utf8Text, const std::string& suffix = {});

    // Changes whenever a connection ends, so a client reading a batch of
    // packets can tell that one of them ended it.
    unsigned connection() const { return connection_; }

    // Names `command` on standard error (with its size) the first time in
    // this connection when tracing is on.
    void traceUnread(std::string_view command, std::size_t bytes);

    // The flag `lookup` receives; for fetches the client makes elsewhere.
    const std::atomic<bool>& abandonFlag() const { return *abandon_; }

    // The user agent every request of the client should carry.
    const std::string& userAgent() const { return settings_.userAgent; }

    // Whether the link waits on the network (a lookup or a connection
    // attempt under way) rather than on its clock or the server.
    bool busy() const;

    // Connection attempts made so far, and lookups started (for tests).
    std::size_t attempts() const { return attempts_; }
    std::size_t lookups() const { return lookups_; }

  private:
    enum class State { Idle, LookingUp, Connecting, Opened, Joined, Waiting };

    void runLookup();
    void onPlan(LinkPlan plan);
    void connectNext();
    void connectNow();
    void onOpened();
    void onReceived(std::string message);
    void onConnectionFailed(const WebSocketConnection::Failure& failure);
    void passFailed(const LinkFailure& failure);
    void closeConnection();
    void beat();

    boost::asio::io_context& eventLoop_;
    MessageWindow& window_;
    LivingLinkSettings settings_;
    LinkHooks hooks_;
    std::unique_ptr<LinkClock> ownClock_;
    LinkClock& clock_;
    WebSocketConnection socket_;
    Backoff backoff_;
    Backoff riskBackoff_;
    LinkTimer attemptTimer_;
    LinkTimer retryTimer_;
    LinkTimer loginTimer_;
    LinkTimer silenceTimer_;
    LinkTimer heartbeatTimer_;
    LinkTimer holdTimer_;

    State state_ = State::Idle;
    std::vector<std::string> urls_;
    std::string cookie_;
    std::size_t next_ = 0;   // the server the next attempt takes
    std::size_t tried_ = 0;  // servers tried in this pass
    std::string current_;    // the URL being tried or connected
    std::optional<LinkClock::TimePoint> lastAttempt_;
    unsigned connection_ = 0;
    std::size_t attempts_ = 0;
    std::size_t lookups_ = 0;
    std::set<std::string, std::less<>> traced_;

    std::shared_ptr<std::atomic<bool>> abandon_;
    std::shared_ptr<bool> alive_;  // loop-side: false once the link is gone
    unsigned lookupTicket_ = 0;    // the lookup whose plan is wanted
    std::thread worker_;
};

}  // namespace platforms
