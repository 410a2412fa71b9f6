#include "phases.h"

#include <algorithm>
#include <cstdio>

#include "process_probe.h"

namespace harness {

using namespace std::chrono_literals;

struct RateResult {
    double offered = 0;       // frames per second the server was asked to send
    double achieved = 0;      // frames per second it could send
    double drainSeconds = 0;  // from the last frame sent to the dialog handling it
    double lateSeconds = 0;   // how far the server fell behind its schedule
    std::size_t peakUnsent = 0;
    double cpuPerThousand = 0;
    bool sustained = false;
};

// `rate` 0: as fast as the program reads.
std::optional<RateResult> rateStep(const Options& options, double rate, long count, bool speakChat) {
    const std::string marker = "marker" + std::to_string(static_cast<long>(rate));
    sim::RoomScript script;
    script.events = pacedChat(count, rate > 0 ? rate : 1e9, 1500ms);
    script.events.push_back({sim::ScriptEvent::Kind::Enter, marker, "", 1, 0ms});
    FrameLog log;
    sim::DouyuRoom room(script, roomOptions(&log));
    app::Settings settings = quietSettings();
    settings.speakChat = speakChat;
    ProgramRun program(options.executable, room, settings, "/dev/null");
    if (!startedAndJoined(program)) {
        return std::nullopt;
    }
    auto cpuBefore = harness::cpuSeconds(program.pid());
    const std::string welcome = "speak 滴!滴!欢迎" + marker + "来到本直播间!";
    const auto budget =
        std::chrono::seconds(static_cast<long>(static_cast<double>(count) / std::max(rate, 500.0))) + 30s;
    if (!program.process().waitForLine(welcome, budget)) {
        say("  the closing room entry never reached the dialog");
        return std::nullopt;
    }
    const auto handled = Clock::now();
    auto cpuAfter = harness::cpuSeconds(program.pid());
    program.stop();
    auto first = log.sent(1), last = log.sent(static_cast<int>(count)),
         markerSent = log.sent(static_cast<int>(count) + 1);
    if (!first || !last || !markerSent || !cpuBefore || !cpuAfter) {
        return std::nullopt;
    }
    RateResult result;
    result.offered = rate;
    result.achieved = static_cast<double>(count - 1) / seconds(*last - *first);
    result.drainSeconds = seconds(handled - *markerSent);
    const double scheduled = rate > 0 ? static_cast<double>(count - 1) / rate : 0;
    result.lateSeconds = rate > 0 ? std::max(0.0, seconds(*last - *first) - scheduled) : 0;
    result.peakUnsent = log.peakUnsent;
    result.cpuPerThousand = (*cpuAfter - *cpuBefore) / static_cast<double>(count) * 1000;
    // Kept up: the server kept its schedule without its send queue ever
    // coming near the socket's limit (a few MiB, where its writes would
    // block), and the closing event reached the dialog about as soon as it
    // was sent. Its welcome text is announced when the worker takes it:
    // within 100 ms when chat is not spoken, else once the worker may run
    // ahead again, after up to one playback (the duration limit).
    const double drainLimit = speakChat ? settings.speechSeconds + 2.0 : 1.0;
    result.sustained = rate > 0 && result.lateSeconds < 0.25 && result.peakUnsent < kUnsentBound &&
                       result.drainSeconds < drainLimit;
    return result;
}

void printRate(const std::string& label, const RateResult& r) {
    std::printf(
        "  %-10s sent %7.0f/s  late %.2f s  closing entry announced %.2f s after it was sent  "
        "peak unsent %.0f KiB  CPU %.0f ms/1000  %s\n",
        label.c_str(), r.achieved, r.lateSeconds, r.drainSeconds, static_cast<double>(r.peakUnsent) / 1024,
        r.cpuPerThousand * 1000, r.offered > 0 ? (r.sustained ? "kept up" : "FELL BEHIND") : "");
    std::fflush(stdout);
}

void ratePhase(const Options& options) {
    say(format("\nsustained chat rate: %.0f s per step, chat speech off (each line still reaches the dialog)",
               options.rateStepSeconds));
    RateResult best;
    std::optional<RateResult> atTarget;
    for (double rate : {1000.0, 2000.0, 4000.0, 8000.0, 16000.0, 32000.0, 64000.0}) {
        auto result = rateStep(options, rate, static_cast<long>(rate * options.rateStepSeconds), false);
        if (!result) {
            break;
        }
        printRate(std::to_string(static_cast<long>(rate)) + "/s", *result);
        if (rate == 2000) {
            atTarget = result;
        }
        if (!result->sustained) {
            break;
        }
        best = *result;
    }
    auto flat = rateStep(options, 0,
                         static_cast<long>(std::max(best.offered, 8000.0) * options.rateStepSeconds), false);
    if (flat) {
        printRate("flat out", *flat);
    }
    auto spoken = rateStep(options, 2000, static_cast<long>(2000 * options.rateStepSeconds), true);
    if (spoken) {
        printRate("2000/s+tts", *spoken);
    }
    report("highest sustained chat rate (stepped)", format("%.0f lines/s", best.offered), ">= 2000 lines/s",
           best.offered >= 2000);
    report("CPU per 1,000 messages at that rate", format("%.0f ms", best.cpuPerThousand * 1000));
    if (atTarget) {
        report("CPU per 1,000 messages at 2,000 lines/s", format("%.0f ms", atTarget->cpuPerThousand * 1000));
    }
    if (flat) {
        report("read rate with the server sending flat out", format("%.0f lines/s", flat->achieved));
    }
    if (spoken) {
        report("2,000 lines/s with chat speech on", spoken->sustained ? "kept up" : "fell behind", "keeps up",
               spoken->sustained);
    }
}

}  // namespace harness
