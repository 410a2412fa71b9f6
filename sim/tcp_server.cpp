#include "sim/tcp_server.h"

#include <sys/ioctl.h>
#include <boost/asio/read.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>

namespace sim {

using boost::asio::ip::tcp;

Connection::Connection(tcp::socket socket) : socket_(std::move(socket)) {}

bool Connection::readExact(std::size_t n, std::string& out) {
    out.clear();
    std::size_t fromBuffer = std::min(n, buffered_.size());
    out.append(buffered_, 0, fromBuffer);
    buffered_.erase(0, fromBuffer);
    if (out.size() == n) {
        return true;
    }
    std::string rest(n - out.size(), '\0');
    boost::system::error_code ec;
    boost::asio::read(socket_, boost::asio::buffer(rest), ec);
    if (ec) {
        open_ = false;
        return false;
    }
    out += rest;
    return true;
}

bool Connection::readUntil(const std::string& delimiter, std::string& out, std::size_t limit) {
    boost::system::error_code ec;
    auto buffer = boost::asio::dynamic_buffer(buffered_, limit);
    std::size_t n = boost::asio::read_until(socket_, buffer, delimiter, ec);
    if (ec) {
        open_ = false;
        return false;
    }
    out = buffered_.substr(0, n);
    buffered_.erase(0, n);
    return true;
}

bool Connection::write(const std::string& bytes) {
    boost::system::error_code ec;
    boost::asio::write(socket_, boost::asio::buffer(bytes), ec);
    if (ec) {
        open_ = false;
        return false;
    }
    return true;
}

void Connection::close() {
    // Shut down only: another thread may be blocked in a read on this socket,
    // and shutdown wakes it safely. The descriptor is closed with the object.
    std::lock_guard lock(closeMutex_);
    open_ = false;
    boost::system::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_both, ec);
}

std::size_t Connection::unsentBytes() {
    int pending = 0;
    std::lock_guard lock(closeMutex_);
    if (!socket_.is_open() || ::ioctl(socket_.native_handle(), TIOCOUTQ, &pending) != 0) {
        return 0;
    }
    return static_cast<std::size_t>(pending);
}

TcpServer::TcpServer(Script script)
    : script_(std::move(script)), acceptor_(io_, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)) {
    port_ = acceptor_.local_endpoint().port();
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TcpServer::~TcpServer() {
    stop();
}

int TcpServer::open() const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& s : sessions_) {
        n += s.connection->isOpen() ? 1 : 0;
    }
    return n;
}

void TcpServer::acceptLoop() {
    while (!stopping_) {
        tcp::socket socket(io_);
        boost::system::error_code ec;
        acceptor_.accept(socket, ec);
        if (ec || stopping_) {
            if (stopping_) {
                return;
            }
            continue;
        }
        ++accepted_;
        auto connection = std::make_shared<Connection>(std::move(socket));
        if (refuse_) {
            connection->close();
            continue;
        }
        std::lock_guard lock(mutex_);
        sessions_.push_back({connection, {}});
        sessions_.back().thread = std::thread([this, connection] {
            script_(*connection);
            connection->close();
        });
    }
}

void TcpServer::dropConnections() {
    std::lock_guard lock(mutex_);
    for (auto& s : sessions_) {
        s.connection->close();
    }
}

void TcpServer::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    boost::system::error_code ec;
    // Wake the blocking accept with a connection of our own, then close.
    {
        tcp::socket poke(io_);
        poke.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), port_), ec);
    }
    // The accept thread sees the poke (or any later connection) and leaves;
    // only then is the acceptor closed, so nothing closes it under the thread.
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    acceptor_.close(ec);
    std::list<Session> sessions;
    {
        std::lock_guard lock(mutex_);
        sessions.swap(sessions_);
    }
    for (auto& s : sessions) {
        s.connection->close();
    }
    for (auto& s : sessions) {
        if (s.thread.joinable()) {
            s.thread.join();
        }
    }
}

}  // namespace sim
