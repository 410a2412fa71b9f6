#include "platforms/historic/common/stream_connection.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace platforms {

StreamConnection::StreamConnection(boost::asio::io_context& eventLoop, std::function<void()> onWriteFailure)
    : eventLoop_(eventLoop), socket_(eventLoop), onWriteFailure_(std::move(onWriteFailure)) {}

void StreamConnection::connect(const ServerEntry& server, ConnectHandler done,
                               boost::system::error_code invalid) {
    auto ifCurrent = [this, generation = generation_,
                      done = std::move(done)](const boost::system::error_code& e) {
        if (isCurrent(generation)) {
            done(e);
        }
    };
    boost::system::error_code error;
    auto address = boost::asio::ip::make_address(server.address, error);
    if (error || server.port <= 0 || server.port > 0xFFFF) {
        boost::asio::post(eventLoop_, [ifCurrent = std::move(ifCurrent), invalid] { ifCurrent(invalid); });
        return;
    }
    socket_.async_connect(boost::asio::ip::tcp::endpoint(address, static_cast<unsigned short>(server.port)),
                          std::move(ifCurrent));
}

void StreamConnection::connect(const Endpoints& endpoints, ConnectHandler done) {
    boost::asio::async_connect(
        socket_, endpoints,
        [this, generation = generation_, done = std::move(done)](const boost::system::error_code& e,
                                                                 const boost::asio::ip::tcp::endpoint&) {
            if (isCurrent(generation)) {
                done(e);
            }
        });
}

void StreamConnection::close(bool abandon) {
    if (abandon) {
        ++generation_;
    }
    outgoing_.clear();
    writing_ = false;
    if (socket_.is_open()) {
        boost::system::error_code ignored;
        socket_.close(ignored);
    }
}

void StreamConnection::send(std::string packet) {
    outgoing_.push_back(std::make_shared<std::string>(std::move(packet)));
    if (!writing_) {
        writing_ = true;
        boost::asio::post(eventLoop_, [this, generation = generation_] {
            if (isCurrent(generation)) {
                writeNext();
            }
        });
    }
}

void StreamConnection::writeNext() {
    if (outgoing_.empty()) {
        writing_ = false;
        return;
    }
    // The packet in flight belongs to its completion, so a close that empties
    // the queue never frees a buffer the socket is still writing from.
    auto packet = outgoing_.front();
    boost::asio::async_write(
        socket_, boost::asio::buffer(*packet),
        [this, generation = generation_, packet](const boost::system::error_code& error, std::size_t) {
            // A write of a connection that was closed meanwhile is no news.
            if (!isCurrent(generation) || outgoing_.empty() || outgoing_.front() != packet) {
                return;
            }
            if (error) {
                outgoing_.clear();
                writing_ = false;
                if (onWriteFailure_) {
                    onWriteFailure_();
                }
                return;
            }
            outgoing_.pop_front();
            writeNext();
        });
}

void StreamConnection::readExact(void* into, std::size_t length, ReadHandler done) {
    boost::asio::async_read(socket_, boost::asio::buffer(into, length),
                            [this, generation = generation_, done = std::move(done)](
                                const boost::system::error_code& error, std::size_t) {
                                if (isCurrent(generation)) {
                                    done(error);
                                }
                            });
}

void StreamConnection::readFrame(const FrameRule& rule, FrameHandler done) {
    header_.resize(rule.headerLength);
    readExact(
        header_.data(), header_.size(),
        [this, bodyLength = rule.bodyLength, done = std::move(done)](const boost::system::error_code& error) {
            auto length = error ? std::nullopt : bodyLength(header_);
            if (!length) {
                done(ReadOutcome::HeaderFailure, {});
                return;
            }
            body_.resize(*length);
            readExact(body_.data(), body_.size(), [this, done](const boost::system::error_code& error) {
                if (error) {
                    done(ReadOutcome::BodyFailure, {});
                    return;
                }
                done(ReadOutcome::Frame, body_);
            });
        });
}

}  // namespace platforms
