// One of the Douyu client's two connections: its socket, its receiving block,
// the frames waiting to be written, and a generation number that tells the
// completions of the current connection from those of one already closed.
//
// Threads: everything on the thread that runs the io_context (the network
// thread). Handlers given here run there too, and only while the connection
// they were started on is still the current one: a completion that a `close`
// cancelled is dropped, never reported as a failure.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>

#include "platforms/douyu/douyu_codec.h"

namespace douyu {

class DouyuLink {
  public:
    enum class ReadOutcome { Text, HeaderFailure, BodyFailure };
    // `text` points into the receiving block and is valid during the call only.
    using FrameHandler = std::function<void(ReadOutcome outcome, std::string_view text)>;
    using FailureHandler = std::function<void()>;

    // `onWriteFailure` runs when a write of the current connection fails.
    DouyuLink(boost::asio::io_context& eventLoop, FailureHandler onWriteFailure);

    DouyuLink(const DouyuLink&) = delete;
    DouyuLink& operator=(const DouyuLink&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }
    unsigned generation() const { return generation_; }
    bool isCurrent(unsigned generation) const { return generation == generation_; }

    // Closes the socket (when open) and starts a new generation: outstanding
    // completions of the old one are dropped, queued frames are discarded.
    void close();

    // Frames `text` and writes it after the frames already queued, so every
    // frame reaches the peer whole. Sent even when the socket is not open: the
    // failure then shows through `onWriteFailure` like any other.
    void sendText(std::string_view text);

    // Reads one frame: 12 header bytes, then exactly the body. One read at a time.
    void readFrame(FrameHandler handler);

  private:
    void writeNext();

    boost::asio::io_context& eventLoop_;
    boost::asio::ip::tcp::socket socket_;
    std::unique_ptr<DouyuPacket> receive_;
    std::deque<std::unique_ptr<DouyuPacket>> outbox_;  // not yet handed to the socket
    FailureHandler onWriteFailure_;
    bool writing_ = false;
    unsigned generation_ = 0;
};

}  // namespace douyu
