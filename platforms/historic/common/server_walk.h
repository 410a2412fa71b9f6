// Walking a room's chat servers: connect to the chosen one; after a failed
// connect say so, close, and try the next; after a full pass, restart. The
// Douyu, Panda and Zhanqi clients walk their lists this way.
//
// Threads: construct, every method and destroy on the thread that runs the
// event loop. Callbacks run on that thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platforms/historic/common/server_entry.h"
#include "platforms/historic/common/stream_connection.h"

namespace platforms {

class ServerWalk {
  public:
    struct Client {
        // A status text (UTF-8) with a suffix already in the local encoding.
        std::function<void(const char* utf8Text, const std::string& suffix)> status;
        std::function<void()> close;      // closes the client's connections
        std::function<void()> restart;    // a full pass failed
        std::function<void()> connected;  // the current server accepted
    };

    // `invalid` is what a server that is no numeric address fails with.
    ServerWalk(StreamConnection& link, Client client,
               boost::system::error_code invalid = boost::asio::error::host_unreachable)
        : link_(link), client_(std::move(client)), invalid_(invalid) {}

    // Connects to `servers[first]`. `servers` must not be empty.
    void begin(std::vector<ServerEntry> servers, std::size_t first);

    // The current server failed (the client said how): the next one, or a
    // restart after the last.
    void next();

    const ServerEntry& current() const { return rotation_.current(); }

  private:
    void connect();

    StreamConnection& link_;
    Client client_;
    boost::system::error_code invalid_;
    ServerRotation rotation_;
};

}  // namespace platforms
