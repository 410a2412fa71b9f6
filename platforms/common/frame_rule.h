// How a chat protocol cuts its byte stream into frames: a fixed-size header
// that announces the length of the body after it. The same rule reads frames
// from a TCP stream and from WebSocket messages, where one message may hold
// several frames and one frame may span several messages.
//
// Threads: plain data and a pure assembler; one thread per object.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platforms {

struct FrameRule {
    std::size_t headerLength = 0;
    // The body length a header announces; nothing for a header that is broken
    // or announces more than the protocol allows.
    std::function<std::optional<std::size_t>(std::string_view header)> bodyLength;
};

// Collects WebSocket messages and hands out whole frames.
class FrameAssembler {
  public:
    explicit FrameAssembler(FrameRule rule) : rule_(std::move(rule)) {}

    // Appends `message` and calls `frame(header, body)` for every frame now
    // complete, in order. False when a header broke the rule: the stream
    // cannot be resynchronised and the connection should end.
    bool feed(std::string_view message,
              const std::function<void(std::string_view header, std::string_view body)>& frame);

    // `frame` must not feed or clear this assembler.

    // Bytes held back for a frame not yet complete.
    std::size_t pending() const { return buffer_.size(); }
    void clear() { buffer_.clear(); }

  private:
    FrameRule rule_;
    std::string buffer_;
};

}  // namespace platforms
