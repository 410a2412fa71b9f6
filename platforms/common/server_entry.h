// One chat server a room lookup handed out.
//
// Plain data; any thread.
#pragma once

#include <string>

namespace platforms {

struct ServerEntry {
    std::string address;  // expected to be a numeric IP address
    int port = 0;
};

}  // namespace platforms
