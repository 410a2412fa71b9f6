// One of the Douyu client's two connections: a stream connection that frames
// the texts it sends and reads frames by the Douyu header's length field.
//
// Threads: everything on the thread that runs the io_context (the network
// thread). Handlers given here run there too, and only while the connection
// they were started on is still the current one: a completion that a `close`
// cancelled is dropped, never reported as a failure.
#pragma once

#include <functional>
#include <string_view>

#include "platforms/douyuws/douyu_codec.h"
#include "platforms/historic/common/stream_connection.h"

namespace douyu {

// The Douyu frame: a 12-byte header whose length field announces the body.
const platforms::FrameRule& frameRule();

class DouyuLink {
  public:
    enum class ReadOutcome { Text, HeaderFailure, BodyFailure };
    // `text` is valid during the call only.
    using FrameHandler = std::function<void(ReadOutcome outcome, std::string_view text)>;
    using FailureHandler = std::function<void()>;

    // `onWriteFailure` runs when a write of the current connection fails.
    DouyuLink(boost::asio::io_context& eventLoop, FailureHandler onWriteFailure)
        : connection_(eventLoop, std::move(onWriteFailure)) {}

    platforms::StreamConnection& connection() { return connection_; }
    boost::asio::ip::tcp::socket& socket() { return connection_.socket(); }
    unsigned generation() const { return connection_.generation(); }
    bool isCurrent(unsigned generation) const { return connection_.isCurrent(generation); }

    // Closes the socket (when open) and starts a new generation: outstanding
    // completions of the old one are dropped, queued frames are discarded.
    void close() { connection_.close(); }

    // Frames `text` and writes it after the frames already queued, so every
    // frame reaches the peer whole. Sent even when the socket is not open: the
    // failure then shows through `onWriteFailure` like any other.
    void sendText(std::string_view text) { connection_.send(frameText(text)); }

    // Reads one frame: 12 header bytes, then exactly the body. One read at a time.
    void readFrame(FrameHandler handler);

  private:
    platforms::StreamConnection connection_;
};

}  // namespace douyu
