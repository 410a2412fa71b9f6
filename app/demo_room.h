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
// room when that platform's simulation is missing. A room read besides the main
// one (`extra` 1, 2...) plays the script a little later with its viewers'
// names numbered ("甲2"), so two rooms at once are told apart by ear.
DemoRoom startDemoRoom(int platform, PlatformHosts& hosts, int extra = 0);

}  // namespace app
