#include "platforms/douyuws/frame_reader.h"

#include <algorithm>
#include <cstdint>

#include "platforms/common/message_bound.h"
#include "platforms/douyuws/douyu_codec.h"

namespace douyuws {

namespace {

std::uint32_t lengthAt(const std::string& bytes, std::size_t at) {
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return length;
}

}  // namespace

void FrameReader::breakDown() {
    broken_ = true;
    buffer_.clear();
    offset_ = 0;
}

void FrameReader::append(std::string_view message) {
    if (broken_) {
        return;
    }
    const std::size_t passed = std::min(skip_, message.size());
    skip_ -= passed;
    message.remove_prefix(passed);
    if (message.size() > kMaxPending - pending()) {
        breakDown();
        return;
    }
    // Drop what was handed out before growing, so the buffer holds at most one
    // unfinished frame plus the newest message.
    if (offset_ > 0) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    buffer_.append(message);
}

FrameReader::Result FrameReader::next(std::string& text) {
    for (;;) {
        if (broken_) {
            return Result::Broken;
        }
        if (skip_ > 0 || pending() < douyu::kHeaderSize) {
            return Result::NeedMore;
        }
        const std::uint32_t length = lengthAt(buffer_, offset_);
        if (length < 8) {
            breakDown();
            return Result::Broken;
        }
        const std::size_t body = length - 8;
        if (body <= platforms::kMaxChatMessageBytes) {
            if (pending() - douyu::kHeaderSize < body) {
                return Result::NeedMore;
            }
            text.assign(buffer_, offset_ + douyu::kHeaderSize, body);
            consume(douyu::kHeaderSize + body);
            return Result::Frame;
        }
        // Garbage seldom repeats its length field; a frame that does is one
        // the peer meant, and only it is lost.
        if (lengthAt(buffer_, offset_ + 4) != length || body > kMaxPending) {
            breakDown();
            return Result::Broken;
        }
        const std::size_t here = std::min(body, pending() - douyu::kHeaderSize);
        consume(douyu::kHeaderSize + here);
        skip_ = body - here;
        ++dropped_;
    }
}

void FrameReader::consume(std::size_t bytes) {
    offset_ += bytes;
    if (offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    }
}

void FrameReader::reset() {
    buffer_.clear();
    offset_ = 0;
    skip_ = 0;
    dropped_ = 0;
    broken_ = false;
}

}  // namespace douyuws
