// How one platform describes itself to the program: its place in the list,
// its names, the hosts it connects to and how its client is built. Each
// platform defines its entry in its own folder (`<name>_entry.cpp`); the
// catalogue (`platforms/catalogue.h`) lists the entries in order.
//
// Threads: the entries are constants, read from any thread.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <memory>
#include <string>
#include <vector>

#include "core/feeder.h"
#include "core/message_window.h"
#include "core/platform_hosts.h"
#include "core/room_id.h"

namespace platforms {

// An environment variable that overrides one host setting of a platform.
struct HostVariable {
    std::string name;
    // "host[:port]" or a base URL with its scheme; empty when the client
    // chooses for itself.
    std::string defaultValue;
};

// Builds the platform's client for `hosts` (runs on the network thread).
using ClientMaker = std::unique_ptr<msgfeeder> (*)(const PlatformHosts& hosts, boost::asio::io_context& loop,
                                                   MessageWindow& window, const std::atomic<bool>& closing);

struct PlatformEntry {
    // The position in the list. The settings store it, so an entry never
    // moves: a new platform is appended.
    int index = 0;
    const char* key = "";           // ASCII, the folder's name: labels for logs and tests
    const char* listName = "";      // UTF-8, the dialog's platform list
    const char* helpName = "";      // English, the command line's help
    const char* statusPrefix = "";  // UTF-8, before the colon of the client's status lines
    // Its service is gone: only the demo room still answers it.
    bool historic = false;
    RoomIdKind rooms = RoomIdKind::Number;
    // It reports follows, shares and likes (the dialog names it beside their switches).
    bool interactions = false;
    // UTF-8: how its gifts' worth is counted for the thanks' minimum, e.g.
    // "按金瓜子计"; empty when it reports no worth.
    const char* giftValueUnit = "";
    std::vector<HostVariable> hosts;
    ClientMaker makeClient = nullptr;
};

}  // namespace platforms
