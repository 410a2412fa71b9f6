// The chat servers a room lookup handed out, and the one being tried.
//
// Plain data; one thread.
#pragma once

#include <string>
#include <vector>

namespace platforms {

struct ServerEntry {
    std::string address;  // expected to be a numeric IP address
    int port = 0;
};

struct ServerRotation {
    std::vector<ServerEntry> servers;
    std::size_t index = 0;

    bool empty() const { return servers.empty(); }
    const ServerEntry& current() const { return servers[index]; }
    // Moves to the next server; at the end of the list goes back to the first
    // and returns false: a full pass failed.
    bool advance() {
        if (++index < servers.size()) {
            return true;
        }
        index = 0;
        return false;
    }
};

}  // namespace platforms
