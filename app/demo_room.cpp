#include "app/demo_room.h"

#include "platforms/catalogue.h"
#include "sim/demo_script.h"

namespace app {

DemoRoom startDemoRoom(int platform, PlatformHosts& hosts) {
    DemoRoom demo;
    demo.platform = platforms::entryAt(platform) ? platform : 0;
    sim::RoomScript script = sim::demoScript();
    script.loop = true;  // runs until the host closes the program
    demo.room = sim::makeRoom(demo.platform, script);
    if (!demo.room) {
        return demo;
    }
    demo.roomNumber = demo.room->roomNumber();
    for (const auto& [name, value] : demo.room->hostSettings()) {
        platforms::setHost(hosts, name, value);
    }
    return demo;
}

}  // namespace app
