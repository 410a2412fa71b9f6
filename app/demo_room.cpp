#include "app/demo_room.h"

#include <cstdlib>

#include "sim/demo_script.h"

namespace app {

DemoRoom startDemoRoom(int platform) {
    DemoRoom demo;
    demo.platform = platform >= 0 && platform <= 3 ? platform : 0;
    sim::RoomScript script = sim::demoScript();
    script.loop = true;  // runs until the host closes the program
    demo.room = sim::makeRoom(demo.platform, script);
    if (!demo.room) {
        return demo;
    }
    demo.roomNumber = demo.room->roomNumber();
    for (const auto& [name, value] : demo.room->hostSettings()) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    return demo;
}

}  // namespace app
