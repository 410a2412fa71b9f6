// How a chat protocol cuts its byte stream into frames: a fixed-size header
// that announces the length of the body after it (StreamConnection::readFrame).
//
// Threads: plain data; one thread per object.
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

}  // namespace platforms
