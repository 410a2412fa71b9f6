#include "platforms/douyuws/frame_reader.h"

#include <cstdint>

#include "platforms/douyu/douyu_codec.h"

namespace douyuws {

void FrameReader::append(std::string_view message) {
    if (broken_) {
        return;
    }
    if (message.size() > kMaxPending - pending()) {
        broken_ = true;
        buffer_.clear();
        offset_ = 0;
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
    if (broken_) {
        return Result::Broken;
    }
    if (pending() < douyu::kHeaderSize) {
        return Result::NeedMore;
    }
    auto length = douyu::bodyLengthOf(reinterpret_cast<const std::uint8_t*>(buffer_.data() + offset_));
    if (!length) {
        broken_ = true;
        buffer_.clear();
        offset_ = 0;
        return Result::Broken;
    }
    if (pending() - douyu::kHeaderSize < *length) {
        return Result::NeedMore;
    }
    text.assign(buffer_, offset_ + douyu::kHeaderSize, *length);
    offset_ += douyu::kHeaderSize + *length;
    if (offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    }
    return Result::Frame;
}

void FrameReader::reset() {
    buffer_.clear();
    offset_ = 0;
    broken_ = false;
}

}  // namespace douyuws
