// Douyu frames carried in WebSocket messages. The chat proxy packs frames into
// messages as it pleases: several to a message, or one frame cut across two or
// more. The reader collects message bytes and hands out whole frames by their
// length field, whatever the cut.
//
// Pure; one reader belongs to one connection and is used from one thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace douyuws {

class FrameReader {
  public:
    enum class Result { Frame, NeedMore, Broken };

    // More than this many bytes waiting without a whole frame among them can
    // only come from a peer that ignores the framing.
    static constexpr std::size_t kMaxPending = 4u << 20;

    // Appends one message's bytes. A reader that is already broken keeps
    // nothing; one that would hold more than kMaxPending breaks.
    void append(std::string_view message);

    // The next whole frame's body (the message text, with the NUL the peer
    // put after it), or NeedMore until its last byte has arrived. Broken when
    // a header announces a body below 0 or above 32,768 bytes, or the peer
    // sent too much: the connection cannot be read further, and stays broken
    // until `reset`.
    Result next(std::string& text);

    void reset();
    bool broken() const { return broken_; }
    // Bytes received but not yet handed out.
    std::size_t pending() const { return buffer_.size() - offset_; }

  private:
    std::string buffer_;
    std::size_t offset_ = 0;  // start of the first frame not yet handed out
    bool broken_ = false;
};

}  // namespace douyuws
