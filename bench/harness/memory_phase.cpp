#include "phases.h"

#include <algorithm>
#include <thread>

#include "process_probe.h"

namespace harness {

using namespace std::chrono_literals;

void memoryPhase(const Options& options) {
    say(format("\nresident size: %.0f s at %.0f lines/s with speech on, then %.0f s without traffic",
               options.loadSeconds, options.loadRate, options.afterSeconds));
    const long count = static_cast<long>(options.loadSeconds * options.loadRate);
    sim::RoomScript script;
    script.events = pacedChat(count, options.loadRate, 2000ms);
    FrameLog log;
    sim::DouyuRoom room(script, roomOptions(&log, false));
    ProgramRun program(options.executable, room, app::Settings{}, "/dev/null");
    if (!startedAndJoined(program)) {
        return;
    }
    auto started = harness::residentBytes(program.pid());
    const auto loadStart = Clock::now();
    std::size_t peak = started.value_or(0);
    auto watch = [&](Clock::time_point until, auto done) {
        while (Clock::now() < until && !done() && program.running()) {
            std::this_thread::sleep_for(1s);
            peak = std::max(peak, harness::residentBytes(program.pid()).value_or(0));
        }
    };
    watch(loadStart + ms(options.loadSeconds * 1000) + 2s, [&] {
        std::lock_guard lock(log.mutex);
        return log.frames >= count;
    });
    const auto loadEnd = Clock::now();
    auto atMark = harness::residentBytes(program.pid());
    long sent = 0;
    {
        std::lock_guard lock(log.mutex);
        sent = log.frames;
    }
    const auto wavesAtMark = harness::fileCount(program.wavesDir());
    watch(loadEnd + ms(options.afterSeconds * 1000), [] { return false; });
    auto atEnd = harness::residentBytes(program.pid());
    const auto wavesAtEnd = harness::fileCount(program.wavesDir());
    auto exitCode = program.stop();
    if (!started || !atMark || !atEnd) {
        say("  the program went away");
        return;
    }
    report("lines sent during the load",
           format("%.0f in %.0f s", static_cast<double>(sent), seconds(loadEnd - loadStart)));
    report("RSS after start", format("%.1f MiB", mebibytes(*started)));
    report("RSS at the end of the load", format("%.1f MiB", mebibytes(*atMark)), "< 100 MiB",
           *atMark < 100u << 20);
    report("RSS after the quiet time", format("%.1f MiB", mebibytes(*atEnd)), "< 100 MiB",
           *atEnd < 100u << 20);
    double growth = (static_cast<double>(*atEnd) / static_cast<double>(*atMark) - 1) * 100;
    report("growth from the load's end to the end", format("%+.1f %%", growth), "<= 5 %", growth <= 5);
    report("peak RSS", format("%.1f MiB", mebibytes(peak)), "< 100 MiB", peak < 100u << 20);
    report("files in waves at the load's end / the end",
           format("%.0f / %.0f", static_cast<double>(wavesAtMark), static_cast<double>(wavesAtEnd)));
    report("exit status on SIGTERM", exitCode ? std::to_string(*exitCode) : "none (hung)", "0",
           exitCode && *exitCode == 0);
}

}  // namespace harness
