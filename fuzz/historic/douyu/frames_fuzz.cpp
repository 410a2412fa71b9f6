// A byte stream from a server, read frame by frame over a real loopback
// connection; every text goes on to the readers the client applies to it.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platforms/historic/douyu/douyu_link.h"
#include "platforms/historic/douyu/douyu_messages.h"

using boost::asio::ip::tcp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static boost::asio::io_context io;
    static tcp::acceptor acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));

    douyu::DouyuLink link(io, [] {});
    link.socket().connect(acceptor.local_endpoint());
    tcp::socket peer(io);
    acceptor.accept(peer);
    boost::system::error_code ec;
    boost::asio::write(peer, boost::asio::buffer(data, size), ec);
    peer.shutdown(tcp::socket::shutdown_send, ec);

    std::function<void()> next = [&] {
        link.readFrame([&](douyu::DouyuLink::ReadOutcome outcome, std::string_view text) {
            if (outcome != douyu::DouyuLink::ReadOutcome::Text) {
                return;
            }
            douyu::parseMessage(text);
            douyu::userNameOf(text);
            douyu::chatPortsOf(text);
            douyu::groupIdOf(text);
            next();
        });
    };
    next();
    io.restart();
    io.run();
    link.close();
    return 0;
}
