#include "platforms/common/packet_connection.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

namespace platforms {

PacketConnection::PacketConnection(boost::asio::io_context& eventLoop, std::function<void()> onWriteFailure)
    : eventLoop_(eventLoop), socket_(eventLoop), onWriteFailure_(std::move(onWriteFailure)) {}

void PacketConnection::connect(const ServerEntry& server, ConnectHandler done) {
    auto ifCurrent = [this, generation = generation_,
                      done = std::move(done)](const boost::system::error_code& e) {
        if (isCurrent(generation)) {
            done(e);
        }
    };
    boost::system::error_code error;
    auto address = boost::asio::ip::make_address(server.address, error);
    if (error || server.port <= 0 || server.port > 0xFFFF) {
        boost::asio::post(eventLoop_, [ifCurrent = std::move(ifCurrent)] {
            ifCurrent(boost::asio::error::host_unreachable);
        });
        return;
    }
    socket_.async_connect(boost::asio::ip::tcp::endpoint(address, static_cast<unsigned short>(server.port)),
                          std::move(ifCurrent));
}

void PacketConnection::close(bool abandon) {
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

void PacketConnection::send(std::string packet) {
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

void PacketConnection::writeNext() {
    if (outgoing_.empty()) {
        writing_ = false;
        return;
    }
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

}  // namespace platforms
