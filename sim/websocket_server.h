// A loopback WebSocket server (plain ws://) for the simulated rooms and the
// tests: it listens on a port the OS chooses and runs a script for every
// client that completes the WebSocket handshake, on a thread of its own, with
// blocking reads and writes.
//
// Threads: construct, the queries, the switches, `stop` and destroy from any
// one thread; the script runs on the connection's thread and is the only one
// to read or write its peer. `stop` and `dropConnections` close connections
// from outside, which ends any blocked read or write of the scripts.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/tcp_server.h"

namespace sim {

class WebSocketPeer {
  public:
    explicit WebSocketPeer(Connection& connection);

    // The request target of the handshake ("/sub").
    const std::string& target() const { return target_; }

    // One whole message; false when the connection ended (or the client
    // closed it) first.
    bool read(std::string& message);
    // One binary message; false on failure.
    bool write(const std::string& message);
    // Ends the connection without a closing handshake (the client sees it drop).
    void close() { connection_.close(); }
    bool isOpen() const { return connection_.isOpen(); }

    bool accept();  // the handshake; the server calls it

  private:
    Connection& connection_;
    boost::beast::websocket::stream<boost::asio::ip::tcp::socket&> stream_;
    std::string target_;
};

class WebSocketServer {
  public:
    using Script = std::function<void(WebSocketPeer&)>;

    explicit WebSocketServer(Script script);

    std::uint16_t port() const { return tcp_.port(); }
    // "ws://127.0.0.1:PORT" followed by `path`.
    std::string url(const std::string& path = "/") const;

    // Connections accepted (TCP), and handshakes completed, so far.
    int accepted() const { return tcp_.accepted(); }
    int upgraded() const;
    // The targets of the handshakes so far, in order.
    std::vector<std::string> targets() const;

    // When set, connections are accepted and closed before the handshake.
    void setRefuse(bool refuse) { tcp_.setRefuse(refuse); }
    void dropConnections() { tcp_.dropConnections(); }
    void stop() { tcp_.stop(); }

  private:
    Script script_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    TcpServer tcp_;  // last: its threads use the members above
};

}  // namespace sim
