// A chat server connection over TCP as every historic socket client keeps it: the
// socket, the packets waiting to be written, frames read by a length rule,
// and a generation number that tells the completions of the current
// connection from those of one already abandoned.
//
// Threads: everything on the thread that runs the event loop. Handlers given
// here run there too, and only while the connection they were started on is
// still the current one.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platforms/common/host_resolver.h"
#include "platforms/historic/common/frame_rule.h"
#include "platforms/historic/common/server_entry.h"

namespace platforms {

class StreamConnection {
  public:
    using ConnectHandler = std::function<void(const boost::system::error_code&)>;
    using ReadHandler = std::function<void(const boost::system::error_code&)>;
    enum class ReadOutcome { Frame, HeaderFailure, BodyFailure };
    // `body` is valid during the call only.
    using FrameHandler = std::function<void(ReadOutcome outcome, std::string_view body)>;

    // `onWriteFailure` runs when a write of the current connection fails,
    // after the packets still queued were dropped.
    StreamConnection(boost::asio::io_context& eventLoop, std::function<void()> onWriteFailure);

    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // For a test or a fuzzer that connects the socket by hand.
    boost::asio::ip::tcp::socket& socket() { return socket_; }
    unsigned generation() const { return generation_; }
    bool isCurrent(unsigned generation) const { return generation == generation_; }

    // Connects to `server`. Only numeric addresses and real ports can be
    // connected to; anything else fails like `invalid`, reported from the
    // loop so that a `done` which tries the next server does not recurse.
    void connect(const ServerEntry& server, ConnectHandler done,
                 boost::system::error_code invalid = boost::asio::error::host_unreachable);
    // Connects to the first of `endpoints` that accepts.
    void connect(const Endpoints& endpoints, ConnectHandler done);

    // Closes the socket and drops the queued packets. With `abandon`, a new
    // generation starts and the old one's completions are ignored; without,
    // a pending read still reports the failure.
    void close(bool abandon = true);

    // Writes `packet` after those already queued, one at a time, so two
    // packets never interleave on the wire. The first write starts from the
    // loop, never inside the caller. Writing on a closed socket fails through
    // `onWriteFailure` like any other write.
    void send(std::string packet);

    // Reads exactly `length` bytes into `into` (which must stay valid).
    void readExact(void* into, std::size_t length, ReadHandler done);

    // Reads one frame: the rule's header, then the body it announces.
    void readFrame(const FrameRule& rule, FrameHandler done);

  private:
    void writeNext();

    boost::asio::io_context& eventLoop_;
    boost::asio::ip::tcp::socket socket_;
    std::function<void()> onWriteFailure_;
    std::deque<std::shared_ptr<std::string>> outgoing_;
    std::string header_;
    std::string body_;
    bool writing_ = false;
    unsigned generation_ = 0;
};

}  // namespace platforms
