#include "app/demo_room.h"

#include <chrono>
#include <string>

#include "platforms/catalogue.h"
#include "sim/demo_script.h"

namespace app {

DemoRoom startDemoRoom(int platform, PlatformHosts& hosts, int extra) {
    DemoRoom demo;
    demo.platform = platforms::entryAt(platform) ? platform : 0;
    sim::RoomScript script = sim::demoScript();
    script.loop = true;  // runs until the host closes the program
    if (extra > 0 && !script.events.empty()) {
        for (sim::ScriptEvent& event : script.events) {
            event.nickname += std::to_string(extra + 1);
        }
        script.events.front().delay += std::chrono::milliseconds(700 * extra);
    }
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
