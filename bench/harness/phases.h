// What every phase of the harness shares: the options, the figures it
// reports, the chat it sends and the log of when the server sent it.
//
// Threads: the phases run one after another on the main thread; FrameLog is
// written from the simulated room's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/config_file.h"
#include "program_run.h"
#include "sdk/tts/speech_sdk.h"
#include "sim/historic/douyu/douyu_room.h"

namespace harness {

using Clock = std::chrono::steady_clock;

constexpr int kOutputRate = 44100;            // what the program opens the audio output with
constexpr double kWavBytesPerSecond = 32000;  // 16-bit mono at 16 kHz
constexpr std::size_t kUnsentBound = 1 << 20;

struct Options {
    std::string executable = SONARO_EXE;
    std::set<std::string> phases{"latency", "gap", "rate", "idle", "memory"};
    int latencyLines = 60;
    int gapLines = 8;
    double rateStepSeconds = 10;
    double idleSeconds = 60;
    double loadSeconds = 600;
    double afterSeconds = 300;
    int loadRate = 200;
    double soakSeconds = 1800;
    double dropSeconds = 60;
};

struct Figure {
    std::string name;
    std::string value;
    std::string target;  // empty: no target
    bool met = true;
};

// Prints a figure and keeps it for the closing summary.
void report(std::string name, std::string value, std::string target = {}, bool met = true);
const std::vector<Figure>& figures();
void say(const std::string& text);
std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0);
double percentile(std::vector<double> values, double p);
double seconds(Clock::duration d);
std::chrono::milliseconds ms(double value);
double mebibytes(std::size_t bytes);

// Ten characters each, as a viewer types them.
const std::vector<std::string>& tenCharacterLines();
sim::ScriptEvent chat(const std::string& nickname, const std::string& text, std::chrono::milliseconds delay);
// `count` chat lines at `rate` per second: event k is due at k/rate seconds
// after the first, in whole milliseconds, so rates above 1,000 come in
// same-millisecond bursts.
std::vector<sim::ScriptEvent> pacedChat(long count, double rate, std::chrono::milliseconds lead);

// When each script frame left the server and how far the client let the
// server's send queue fill.
struct FrameLog {
    std::mutex mutex;
    std::map<int, Clock::time_point> sentAt;  // serial on the current connection
    std::size_t peakUnsent = 0;
    std::size_t lastUnsent = 0;
    long frames = 0;

    void note(int serial, std::size_t unsent) {
        auto now = Clock::now();
        std::lock_guard lock(mutex);
        sentAt[serial] = now;
        peakUnsent = std::max(peakUnsent, unsent);
        lastUnsent = unsent;
        ++frames;
    }
    std::optional<Clock::time_point> sent(int serial) {
        std::lock_guard lock(mutex);
        auto it = sentAt.find(serial);
        return it == sentAt.end() ? std::nullopt : std::optional(it->second);
    }
};

sim::DouyuRoomOptions roomOptions(FrameLog* log, bool timeEveryFrame = true);
// Gifts not spoken, so that only what a phase sends is heard.
app::Settings quietSettings();
bool startedAndJoined(ProgramRun& program);

struct Synthesis {
    double seconds;
    double audioSeconds;
    double leadingSilence;
    double trailingSilence;
};

// The engine's own synthesis of `text` with the settings' voice and speed,
// into the WAV file `path`; nothing when it failed.
std::optional<Synthesis> synthesise(tts::SpeechSdk& sdk, const std::string& text,
                                    const app::Settings& settings, const std::string& path);

void latencyPhase(const Options& options);
void gapPhase(const Options& options);
void ratePhase(const Options& options);
void idlePhase(const Options& options);
void memoryPhase(const Options& options);
void soakPhase(const Options& options);

}  // namespace harness
