// A loopback WebSocket server (plain ws://, or wss:// with a certificate the
// test supplies) for the simulated rooms and the tests: it listens on a port
// the OS chooses and runs a script for every client that completes the
// WebSocket handshake, on a thread of its own, with blocking reads and writes.
//
// Threads: construct, the queries, the switches, `stop` and destroy from any
// one thread; the script runs on the connection's thread and is the only one
// to read or write its peer. `stop` and `dropConnections` close connections
// from outside, which ends any blocked read or write of the scripts.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/tcp_server.h"
#include "sim/tls_identity.h"

namespace sim {

// The handshake a client sent: its target ("/sub") and headers (names in lower case).
struct UpgradeRequest {
    std::string target;
    std::map<std::string, std::string> headers;
};

class WebSocketPeer {
  public:
    // With `tls`, the TLS handshake comes first.
    WebSocketPeer(Connection& connection, boost::asio::ssl::context* tls = nullptr);
    ~WebSocketPeer();

    // The request target of the handshake ("/sub").
    const std::string& target() const { return request_.target; }
    const UpgradeRequest& request() const { return request_; }

    // One whole message; false when the connection ended (or the client
    // closed it) first.
    bool read(std::string& message);
    // One binary message; false on failure.
    bool write(const std::string& message);
    // A ping control frame; false on failure.
    bool ping();
    // A closing handshake with `code`; false on failure.
    bool closeWith(std::uint16_t code);
    // Ends the connection without a closing handshake (the client sees it drop).
    void close() { connection_.close(); }
    bool isOpen() const { return connection_.isOpen(); }
    // For the rooms' pauses, which end as soon as the connection does.
    const Connection& connection() const { return connection_; }

    bool accept();  // the handshake; the server calls it

  private:
    using Plain = boost::beast::websocket::stream<boost::asio::ip::tcp::socket&>;
    using Secure = boost::beast::websocket::stream<boost::asio::ssl::stream<boost::asio::ip::tcp::socket&>>;
    template <typename F>
    auto visit(F&& f) {
        return secure_ ? f(*secure_) : f(*plain_);
    }

    Connection& connection_;
    std::unique_ptr<Plain> plain_;
    std::unique_ptr<Secure> secure_;
    UpgradeRequest request_;
};

class WebSocketServer {
  public:
    using Script = std::function<void(WebSocketPeer&)>;

    // With `tls`, a wss:// server presenting that certificate.
    explicit WebSocketServer(Script script, std::optional<TlsIdentity> tls = std::nullopt);

    std::uint16_t port() const { return tcp_.port(); }
    // "ws://127.0.0.1:PORT" (or wss://) followed by `path`.
    std::string url(const std::string& path = "/") const;

    // Connections accepted (TCP), and handshakes completed, so far.
    int accepted() const { return tcp_.accepted(); }
    int upgraded() const;
    // The targets of the handshakes so far, in order.
    std::vector<std::string> targets() const;
    // The handshakes so far, in order.
    std::vector<UpgradeRequest> requests() const;

    // When set, connections are accepted and closed before the handshake.
    void setRefuse(bool refuse) { tcp_.setRefuse(refuse); }
    void dropConnections() { tcp_.dropConnections(); }
    void stop() { tcp_.stop(); }

  private:
    Script script_;
    std::unique_ptr<boost::asio::ssl::context> tls_;
    mutable std::mutex mutex_;
    std::vector<UpgradeRequest> requests_;
    TcpServer tcp_;  // last: its threads use the members above
};

}  // namespace sim
