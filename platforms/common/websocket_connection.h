// A WebSocket client connection, plain (`ws://`) or over TLS (`wss://`), on
// the caller's event loop.
//
// The host name is resolved without blocking the loop (HostResolver) and every
// address is tried in turn. TLS verifies the server's certificate against the
// system's CA store, sends the host name (SNI) and checks that the
// certificate names it. Messages go out as binary messages, in the order
// given, one write at a time.
//
// Every `open` starts a new generation: once `close` or another `open`
// abandoned a connection, nothing of it reaches the handlers any more, even a
// completion already queued on the loop.
//
// Threads: construct, every method and destroy on the thread that runs the
// event loop (or after it stopped). Handlers run on that thread. Destroy the
// object before the io_context.
#pragma once

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platforms/common/host_resolver.h"

namespace platforms {

struct WebSocketUrl {
    bool secure = false;
    std::string host;    // without brackets for an IPv6 literal
    std::string port;    // numeric; the scheme's default when the URL has none
    std::string target;  // the path and query, at least "/"
};

// Parses `ws://host[:port][/path]` and `wss://...`; nothing for anything else.
std::optional<WebSocketUrl> parseWebSocketUrl(std::string_view url);

class WebSocketConnection {
  public:
    // Where a connection failed, so that a client can word its status.
    enum class Stage { Resolve, Connect, Handshake, Read, Write };

    // What a client needs to word a failure.
    struct Failure {
        Stage stage = Stage::Resolve;
        boost::system::error_code error;
        int closeCode = 0;        // the server's WebSocket close code, when it closed
        std::string verifyError;  // OpenSSL's reason, when the certificate was rejected
        bool pingFlood = false;   // the server sent pings faster than Limits allow
    };

    struct Handlers {
        std::function<void()> opened;
        std::function<void(std::string message)> received;
        // Once per connection, after which it is closed; nothing else follows.
        std::function<void(const Failure& failure)> failed;
    };

    struct Limits {
        std::chrono::milliseconds connect{10000};    // all addresses together
        std::chrono::milliseconds handshake{10000};  // TLS and WebSocket
        std::size_t messageBytes = 4 << 20;          // a larger incoming message fails the read
        // Each ping is answered by a pong: a peer that pings without pause
        // would keep a core busy. More than this many in one second ends it.
        unsigned pingsPerSecond = 20;
    };

    // Request headers of the upgrade besides those WebSocket needs ("Name", "value").
    using Headers = std::vector<std::pair<std::string, std::string>>;

    explicit WebSocketConnection(boost::asio::io_context& eventLoop,
                                 HostResolver::Lookup lookup = HostResolver::systemLookup);
    ~WebSocketConnection();

    WebSocketConnection(const WebSocketConnection&) = delete;
    WebSocketConnection& operator=(const WebSocketConnection&) = delete;

    void setLimits(const Limits& limits) { limits_ = limits; }

    // Trusts `pem` (one or more certificates) besides the system's store, for
    // a test server with a certificate of its own. Applies to later opens.
    void trustCertificate(std::string pem);

    // Abandons any current connection and opens one to `url`. A URL that does
    // not parse fails at the Resolve stage, reported from the loop.
    void open(const std::string& url, Handlers handlers, Headers headers = {});

    // Queues one binary message. Messages queued before the connection is
    // open go out, in order, once it is.
    void send(std::string message);

    // Abandons the current connection: its socket is closed at once and none
    // of its handlers runs again. A pending name lookup is let go.
    void close();

    bool isOpen() const;
    unsigned generation() const { return generation_; }

    struct Session;  // one connection's state; defined beside the implementation

  private:
    boost::asio::io_context& eventLoop_;
    HostResolver resolver_;
    Limits limits_;
    std::string extraTrust_;
    Handlers handlers_;
    std::shared_ptr<Session> session_;
    unsigned generation_ = 0;
};

}  // namespace platforms
