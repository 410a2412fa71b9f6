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
    // put after it), or NeedMore until its last byte has arrived. A frame
    // whose body is over platforms::kMaxChatMessageBytes is passed over
    // without being kept, as its bytes arrive, when its header is a sound one
    // (both length fields agree, at most kMaxPending). Broken when a header
    // announces a body below 0, or an oversized one that is not sound, or the
    // peer sent too much: the connection cannot be read further, and stays
    // broken until `reset`.
    Result next(std::string& text);

    void reset();
    bool broken() const { return broken_; }
    // Bytes received but not yet handed out.
    std::size_t pending() const { return buffer_.size() - offset_; }
    // Oversized frames passed over since the last reset.
    std::size_t dropped() const { return dropped_; }

  private:
    void breakDown();
    void consume(std::size_t bytes);

    std::string buffer_;
    std::size_t offset_ = 0;  // start of the first frame not yet handed out
    std::size_t skip_ = 0;    // bytes of an oversized frame still to pass over
    std::size_t dropped_ = 0;
    bool broken_ = false;
};

}  // namespace douyuws
