#include "phases.h"

#include <thread>

#include "process_probe.h"

namespace harness {

using namespace std::chrono_literals;

void idlePhase(const Options& options) {
    say(format("\nidle cost: logged in, no traffic, %.0f s", options.idleSeconds));
    sim::DouyuRoom room(sim::RoomScript{}, roomOptions(nullptr));
    ProgramRun program(options.executable, room, quietSettings(), "/dev/null");
    if (!startedAndJoined(program)) {
        return;
    }
    std::this_thread::sleep_for(3s);  // let the login's own work finish
    auto before = harness::cpuSeconds(program.pid());
    auto start = Clock::now();
    std::this_thread::sleep_for(ms(options.idleSeconds * 1000));
    auto after = harness::cpuSeconds(program.pid());
    double elapsed = seconds(Clock::now() - start);
    program.stop();
    if (!before || !after) {
        say("  the program went away");
        return;
    }
    double share = (*after - *before) / elapsed * 100;
    report("idle CPU", format("%.2f %% of one core (%.2f s in %.0f s)", share, *after - *before, elapsed),
           "< 0.5 %", share < 0.5);
}

}  // namespace harness
