// A chat server connection as the Panda and Zhanqi clients keep it: the
// socket, the packets waiting to be written, and a generation number that
// tells the completions of the current connection from those of one already
// abandoned.
//
// Threads: everything on the thread that runs the event loop. Handlers given
// here run there too.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platforms/common/server_entry.h"

namespace platforms {

class PacketConnection {
  public:
    using ConnectHandler = std::function<void(const boost::system::error_code&)>;

    // `onWriteFailure` runs when a write of the current connection fails,
    // after the packets still queued were dropped.
    PacketConnection(boost::asio::io_context& eventLoop, std::function<void()> onWriteFailure);

    PacketConnection(const PacketConnection&) = delete;
    PacketConnection& operator=(const PacketConnection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }
    unsigned generation() const { return generation_; }
    bool isCurrent(unsigned generation) const { return generation == generation_; }

    // Connects to `server`. Only numeric addresses and real ports can be
    // connected to; anything else fails like a refused connect, reported from
    // the loop so that a `done` which tries the next server does not recurse.
    // `done` is not called once a `close` abandoned the attempt.
    void connect(const ServerEntry& server, ConnectHandler done);

    // Closes the socket and drops the queued packets. With `abandon`, a new
    // generation starts and the old one's completions are to be ignored;
    // without, a pending read still reports the failure.
    void close(bool abandon = true);

    // Writes `packet` after those already queued, one at a time, so two
    // packets never interleave on the wire. The first write starts from the
    // loop, never inside the caller.
    void send(std::string packet);

  private:
    void writeNext();

    boost::asio::io_context& eventLoop_;
    boost::asio::ip::tcp::socket socket_;
    std::function<void()> onWriteFailure_;
    std::deque<std::shared_ptr<std::string>> outgoing_;
    bool writing_ = false;
    unsigned generation_ = 0;
};

}  // namespace platforms
