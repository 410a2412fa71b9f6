// A loopback TCP server for the simulated platforms: it listens on a port the
// OS chooses and runs a script function for every accepted connection on a
// thread of its own, with blocking reads and writes, so a simulated server
// reads like the conversation it plays.
//
// Threads: construct, `port`, `stop` and destroy from any one thread; the
// script runs on the connection's thread. `stop` closes the listener and
// every open connection, which ends every blocked read or write in the
// scripts, and joins all threads.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace sim {

// One accepted connection. Reads and writes throw nothing: a failure (peer
// gone, server stopping) makes them return false / an empty optional-like
// result and marks the connection closed.
class Connection {
  public:
    explicit Connection(boost::asio::ip::tcp::socket socket);

    // Exactly `n` bytes; false when the connection ended first.
    bool readExact(std::size_t n, std::string& out);
    // Up to and including `delimiter`, at most `limit` bytes; false on failure.
    bool readUntil(const std::string& delimiter, std::string& out, std::size_t limit = 1 << 20);
    bool write(const std::string& bytes);
    void close();
    bool isOpen() const { return open_.load(); }

    // Number of bytes the peer has not read yet from the socket's send queue.
    std::size_t unsentBytes();

    // For a protocol layered on the connection (WebSocket); do not mix with
    // the reads above.
    boost::asio::ip::tcp::socket& socket() { return socket_; }

  private:
    boost::asio::ip::tcp::socket socket_;
    std::string buffered_;  // bytes read past a delimiter
    std::atomic<bool> open_{true};
    std::mutex closeMutex_;
};

class TcpServer {
  public:
    using Script = std::function<void(Connection&)>;

    // Listens on 127.0.0.1 and a port the OS picks.
    explicit TcpServer(Script script);
    ~TcpServer();

    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // Number of connections accepted so far, and currently open.
    int accepted() const { return accepted_.load(); }
    int open() const;

    // When set, new connections are accepted and closed at once.
    void setRefuse(bool refuse) { refuse_ = refuse; }

    // Closes every open connection (the peer sees the connection drop) but
    // keeps listening.
    void dropConnections();

    void stop();

  private:
    void acceptLoop();

    Script script_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> refuse_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    struct Session {
        std::shared_ptr<Connection> connection;
        std::thread thread;
    };
    std::list<Session> sessions_;
};

}  // namespace sim
