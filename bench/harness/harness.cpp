// Drives the built program headless against a simulated Douyu room and
// prints how it does: chat-to-speech latency beside the synthesis time, the
// highest chat rate it keeps up with and its CPU per 1,000 messages, its idle
// CPU, and its resident size under a long load and after it; or, with
// --phases soak, a long run with the chat connection dropped every minute.
//
// Run it with scripts/bench.sh (or scripts/soak.sh); --help lists the knobs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "phases.h"

using namespace harness;

namespace {

const char kUsage[] =
    "usage: sonaro_harness [options]\n"
    "  --exe PATH            the program to drive (default: the one built beside this harness)\n"
    "  --phases LIST         comma-separated: latency,gap,rate,idle,memory (default) or soak\n"
    "  --quick               short durations for a trial run (not the documented figures)\n"
    "  --latency-lines N     lines timed for latency (default 60)\n"
    "  --gap-lines N         lines sent at once for the gap between announcements (default 8)\n"
    "  --step-seconds S      length of each chat-rate step (default 10)\n"
    "  --idle-seconds S      idle measurement (default 60)\n"
    "  --load-seconds S      memory load at --load-rate (default 600)\n"
    "  --after-seconds S     quiet time after the load (default 300)\n"
    "  --load-rate N         lines per second of the memory load and the soak (default 200)\n"
    "  --soak-seconds S      soak length (default 1800)\n"
    "  --drop-seconds S      soak: drop the chat connection this often (default 60)\n";

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < argc) {
                return std::string(argv[++i]);
            }
            return std::nullopt;
        };
        auto number = [&](auto& field) {
            auto text = value();
            if (!text) {
                return false;
            }
            char* end = nullptr;
            double parsed = std::strtod(text->c_str(), &end);
            if (end == text->c_str() || *end || parsed <= 0) {
                return false;
            }
            field = static_cast<std::remove_reference_t<decltype(field)>>(parsed);
            return true;
        };
        bool ok = true;
        if (arg == "--exe") {
            auto text = value();
            ok = text.has_value();
            options.executable = text.value_or("");
        } else if (arg == "--phases") {
            auto text = value();
            ok = text.has_value();
            options.phases.clear();
            std::istringstream list(text.value_or(""));
            for (std::string phase; std::getline(list, phase, ',');) {
                ok = ok &&
                     std::set<std::string>{"latency", "gap", "rate", "idle", "memory", "soak"}.count(phase);
                options.phases.insert(phase);
            }
        } else if (arg == "--quick") {
            options.latencyLines = 20;
            options.gapLines = 5;
            options.rateStepSeconds = 3;
            options.idleSeconds = 15;
            options.loadSeconds = 60;
            options.afterSeconds = 30;
            options.soakSeconds = 180;
            options.dropSeconds = 30;
        } else if (arg == "--latency-lines") {
            ok = number(options.latencyLines);
        } else if (arg == "--gap-lines") {
            ok = number(options.gapLines);
        } else if (arg == "--step-seconds") {
            ok = number(options.rateStepSeconds);
        } else if (arg == "--idle-seconds") {
            ok = number(options.idleSeconds);
        } else if (arg == "--load-seconds") {
            ok = number(options.loadSeconds);
        } else if (arg == "--after-seconds") {
            ok = number(options.afterSeconds);
        } else if (arg == "--load-rate") {
            ok = number(options.loadRate);
        } else if (arg == "--soak-seconds") {
            ok = number(options.soakSeconds);
        } else if (arg == "--drop-seconds") {
            ok = number(options.dropSeconds);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fputs(kUsage, stderr);
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    auto options = parse(argc, argv);
    if (!options) {
        return 2;
    }
    if (!std::filesystem::exists(options->executable)) {
        std::fprintf(stderr, "no program at %s\n", options->executable.c_str());
        return 2;
    }
    say("program: " + options->executable);
    if (options->phases.count("latency")) {
        latencyPhase(*options);
    }
    if (options->phases.count("gap")) {
        gapPhase(*options);
    }
    if (options->phases.count("rate")) {
        ratePhase(*options);
    }
    if (options->phases.count("idle")) {
        idlePhase(*options);
    }
    if (options->phases.count("memory")) {
        memoryPhase(*options);
    }
    if (options->phases.count("soak")) {
        soakPhase(*options);
    }
    say("\nsummary (markdown)\n\n| figure | value | target | |\n|---|---|---|---|");
    bool allMet = true;
    for (const auto& f : figures()) {
        if (!f.target.empty()) {
            say("| " + f.name + " | " + f.value + " | " + f.target + " | " + (f.met ? "met" : "missed") +
                " |");
            allMet = allMet && f.met;
        }
    }
    return allMet ? 0 : 1;
}