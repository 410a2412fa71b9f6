#include "platforms/douyu/douyu_link.h"

#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace douyu {

DouyuLink::DouyuLink(boost::asio::io_context& eventLoop, FailureHandler onWriteFailure)
    : eventLoop_(eventLoop),
      socket_(eventLoop),
      receive_(std::make_unique<DouyuPacket>()),
      onWriteFailure_(std::move(onWriteFailure)) {}

void DouyuLink::close() {
    ++generation_;
    boost::system::error_code ignored;
    if (socket_.is_open()) {
        socket_.close(ignored);
    }
    outbox_.clear();
    writing_ = false;
}

void DouyuLink::sendText(std::string_view text) {
    auto packet = std::make_unique<DouyuPacket>();
    fillPacket(*packet, text);
    // Handed to the loop rather than written here, so a send from inside a
    // read handler never starts a write in the middle of that handler.
    boost::asio::post(eventLoop_, [this, generation = generation_, packet = std::move(packet)]() mutable {
        if (!isCurrent(generation)) {
            return;
        }
        outbox_.push_back(std::move(packet));
        if (!writing_) {
            writeNext();
        }
    });
}

void DouyuLink::writeNext() {
    if (outbox_.empty()) {
        writing_ = false;
        return;
    }
    writing_ = true;
    // The packet in flight belongs to its completion, so a close that empties
    // the queue never frees a buffer the socket is still writing from.
    std::shared_ptr<DouyuPacket> packet(outbox_.front().release());
    outbox_.pop_front();
    std::array<boost::asio::const_buffer, 2> buffers{
        boost::asio::buffer(packet->header),
        boost::asio::buffer(packet->body.data(), packet->bodyLength),
    };
    boost::asio::async_write(
        socket_, buffers,
        [this, generation = generation_, packet](const boost::system::error_code& ec, std::size_t) {
            if (!isCurrent(generation)) {
                return;
            }
            if (ec) {
                outbox_.clear();
                writing_ = false;
                if (onWriteFailure_) {
                    onWriteFailure_();
                }
                return;
            }
            writeNext();
        });
}

void DouyuLink::readFrame(FrameHandler handler) {
    boost::asio::async_read(
        socket_, boost::asio::buffer(receive_->header),
        [this, generation = generation_, handler = std::move(handler)](const boost::system::error_code& ec,
                                                                       std::size_t) mutable {
            if (!isCurrent(generation)) {
                return;
            }
            auto length = ec ? std::nullopt : bodyLengthOf(receive_->header.data());
            if (!length) {
                handler(ReadOutcome::HeaderFailure, {});
                return;
            }
            receive_->bodyLength = *length;
            boost::asio::async_read(
                socket_, boost::asio::buffer(receive_->body.data(), *length),
                [this, generation, handler = std::move(handler)](const boost::system::error_code& ec,
                                                                 std::size_t) {
                    if (!isCurrent(generation)) {
                        return;
                    }
                    if (ec) {
                        handler(ReadOutcome::BodyFailure, {});
                        return;
                    }
                    handler(ReadOutcome::Text, std::string_view(receive_->body.data(), receive_->bodyLength));
                });
        });
}

}  // namespace douyu
