// `sonaro --demo`: a simulated room of the chosen platform inside the program,
// on loopback ports, with that platform's hosts pointed at it, so a new user
// hears the program work without an account or a network.
//
// Threads: the main thread, before the dialog logs in.
#pragma once

#include <memory>
#include <string>

#include "core/platform_hosts.h"
#include "sim/room.h"

namespace app {

struct DemoRoom {
    std::unique_ptr<sim::SimulatedRoom> room;
    int platform = 0;
    std::string roomNumber;  // UTF-8
};

// Starts the demo room of `platform` (an index of the platform list; anything
// else means the first entry) and points that platform's hosts at it. Null
// room when that platform's simulation is missing.
DemoRoom startDemoRoom(int platform, PlatformHosts& hosts);

}  // namespace app
