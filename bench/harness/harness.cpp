// Drives the built program headless against a simulated Douyu room and
// prints how it does: chat-to-speech latency beside the synthesis time, the
// highest chat rate it keeps up with and its CPU per 1,000 messages, its idle
// CPU, and its resident size under a long load and after it; or, with
// --phases soak, a long run with the chat connection dropped every minute.
//
// Run it with scripts/bench.sh (or scripts/soak.sh); --help lists the knobs.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio_onsets.h"
#include "process_probe.h"
#include "program_run.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using harness::ProgramRun;

constexpr int kOutputRate = 44100;            // what the program opens the audio output with
constexpr double kWavBytesPerSecond = 32000;  // 16-bit mono at 16 kHz
constexpr std::size_t kUnsentBound = 1 << 20;

struct Options {
    std::string executable = SONARO_EXE;
    std::set<std::string> phases{"latency", "rate", "idle", "memory"};
    int latencyLines = 60;
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

std::vector<Figure> figures;

void report(std::string name, std::string value, std::string target = {}, bool met = true) {
    Figure figure{std::move(name), std::move(value), std::move(target), met};
    std::printf("  %-44s %s%s%s\n", figure.name.c_str(), figure.value.c_str(),
                figure.target.empty() ? "" : "   target: ", figure.target.c_str());
    if (!figure.target.empty()) {
        std::printf("  %-44s %s\n", "", figure.met ? "-> met" : "-> MISSED");
    }
    std::fflush(stdout);
    figures.push_back(std::move(figure));
}

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d);
    return buffer;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    double rank = p / 100.0 * static_cast<double>(values.size() - 1);
    auto below = static_cast<std::size_t>(std::floor(rank));
    auto above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - static_cast<double>(below));
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::chrono::milliseconds ms(double value) {
    return std::chrono::milliseconds(static_cast<long>(value));
}

double mebibytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Ten characters each, as a viewer types them.
const std::vector<std::string>& tenCharacterLines() {
    static const std::vector<std::string> lines{
        "主播今天的状态真不错啊", "这一波操作我给满分了", "大家晚上好我又来看了", "刚下班就赶过来看直播",
        "这个游戏画面真的好看",   "主播能不能再来一把呢", "弹幕护体大家冲啊冲啊", "今天的歌唱得真好听啊",
        "新来的朋友点点关注吧",   "明天几点开播记得说哦"};
    return lines;
}

sim::ScriptEvent chat(const std::string& nickname, const std::string& text, std::chrono::milliseconds delay) {
    return {sim::ScriptEvent::Kind::Chat, nickname, text, 1, delay};
}

// `count` chat lines at `rate` per second: event k is due at k/rate seconds
// after the first, in whole milliseconds, so rates above 1,000 come in
// same-millisecond bursts.
std::vector<sim::ScriptEvent> pacedChat(long count, double rate, std::chrono::milliseconds lead) {
    std::vector<sim::ScriptEvent> events;
    events.reserve(static_cast<std::size_t>(count));
    const auto& lines = tenCharacterLines();
    long previousDue = 0;
    for (long k = 0; k < count; ++k) {
        auto due = static_cast<long>(static_cast<double>(k) * 1000.0 / rate);
        auto delay = k == 0 ? lead : std::chrono::milliseconds(due - previousDue);
        previousDue = due;
        events.push_back(
            chat("观众" + std::to_string(k % 97), lines[static_cast<std::size_t>(k) % lines.size()], delay));
    }
    return events;
}

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

sim::DouyuRoomOptions roomOptions(FrameLog* log, bool timeEveryFrame = true) {
    sim::DouyuRoomOptions options;
    if (log) {
        options.onScriptFrame = [log, timeEveryFrame](int serial, std::size_t unsent) {
            if (timeEveryFrame) {
                log->note(serial, unsent);
            } else {
                std::lock_guard lock(log->mutex);
                log->peakUnsent = std::max(log->peakUnsent, unsent);
                log->lastUnsent = unsent;
                ++log->frames;
            }
        };
    }
    return options;
}

app::Settings quietSettings() {
    app::Settings settings;
    settings.speakGifts = false;
    return settings;
}

bool startedAndJoined(ProgramRun& program) {
    if (program.pid() <= 0 || !program.waitJoined(30s)) {
        say("  the program did not join the room");
        return false;
    }
    return true;
}

// --- latency --------------------------------------------------------------

struct Synthesis {
    double seconds;
    double audioSeconds;
    double leadingSilence;
};

// The engine's own synthesis of `text` with the settings' voice and speed.
std::optional<Synthesis> synthesise(tts::SpeechSdk& sdk, const std::string& text,
                                    const app::Settings& settings, const std::string& path) {
    auto start = Clock::now();
    if (speech::synthesizeToWav(sdk, util::utf8ToLocal(text), path,
                                speech::buildSessionParams(settings.voice, settings.speed)) != 0) {
        return std::nullopt;
    }
    Synthesis result{seconds(Clock::now() - start), 0, 0};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    std::fseek(file, 44, SEEK_SET);
    std::int16_t sample = 0;
    long silent = 0, total = 0;
    bool sounding = false;
    while (std::fread(&sample, sizeof sample, 1, file) == 1) {
        ++total;
        sounding = sounding || sample != 0;
        silent += sounding ? 0 : 1;
    }
    std::fclose(file);
    result.audioSeconds = static_cast<double>(total) * 2 / kWavBytesPerSecond;
    result.leadingSilence = static_cast<double>(silent) * 2 / kWavBytesPerSecond;
    return result;
}

void latencyPhase(const Options& options) {
    say(format("\nchat-to-speech latency: %.0f ten-character lines, one at a time, idle room",
               options.latencyLines));
    app::Settings settings = quietSettings();
    settings.speakNickname = false;  // the line alone is spoken

    std::vector<std::string> texts;
    for (int i = 0; i < options.latencyLines; ++i) {
        texts.push_back(tenCharacterLines()[static_cast<std::size_t>(i) % tenCharacterLines().size()]);
    }
    // The floor: the same texts through the same synthesis call, nothing else running.
    std::vector<double> floor, leading;
    double longest = 0;
    {
        tts::EspeakSdk sdk;
        if (sdk.login(nullptr, nullptr, speech::kSdkLoginParams) != 0) {
            say("  the speech SDK did not log in");
            return;
        }
        testing_support::TempDir scratch;
        for (const auto& text : texts) {
            auto result = synthesise(sdk, text, settings, scratch.file("floor.wav"));
            if (!result) {
                say("  synthesis failed");
                return;
            }
            floor.push_back(result->seconds * 1000);
            leading.push_back(result->leadingSilence * 1000);
            longest = std::max(longest, result->audioSeconds);
        }
        sdk.logout();
    }
    // Each line is sent once the one before has surely finished playing.
    const auto spacing = ms((std::min(longest, static_cast<double>(settings.speechSeconds)) + 1.5) * 1000);
    sim::RoomScript script;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        script.events.push_back(chat("观众", texts[i], i == 0 ? 3000ms : spacing));
    }
    FrameLog log;
    sim::DouyuRoom room(script, roomOptions(&log));
    ProgramRun program(options.executable, room, settings);
    harness::AudioOnsets onsets(program.audioFile(), kOutputRate);
    if (!startedAndJoined(program)) {
        return;
    }
    std::vector<double> latency, aboveFloor;
    for (int serial = 1; serial <= static_cast<int>(texts.size()); ++serial) {
        if (!testing_support::waitUntil([&] { return log.sent(serial).has_value(); }, spacing + 10s)) {
            say("  a line was never sent");
            break;
        }
        auto onset = onsets.firstOnsetAfter(*log.sent(serial), spacing);
        if (!onset) {
            say(format("  line %.0f was not heard", serial));
            continue;
        }
        latency.push_back(seconds(*onset - *log.sent(serial)) * 1000);
        aboveFloor.push_back(latency.back() - floor[static_cast<std::size_t>(serial - 1)]);
    }
    program.stop();
    report("lines heard",
           format("%.0f of %.0f", static_cast<double>(latency.size()), static_cast<double>(texts.size())));
    report("synthesis time (floor) median/p90/p99", format("%.0f / %.0f / %.0f ms", percentile(floor, 50),
                                                           percentile(floor, 90), percentile(floor, 99)));
    report("leading silence in the files, median",
           format("%.1f ms (counted in the latency)", percentile(leading, 50)));
    report("chat-to-speech median/p90/p99", format("%.0f / %.0f / %.0f ms", percentile(latency, 50),
                                                   percentile(latency, 90), percentile(latency, 99)));
    const double median = percentile(latency, 50), budget = percentile(floor, 50) + 150;
    report("latency median vs synthesis + 150 ms", format("%.0f ms", median), format("<= %.0f ms", budget),
           latency.size() == texts.size() && median <= budget);
    report("latency above its own line's synthesis, median",
           format("%.0f ms (p90 %.0f ms)", percentile(aboveFloor, 50), percentile(aboveFloor, 90)));
}

// --- sustained rate -------------------------------------------------------

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

// --- idle -----------------------------------------------------------------

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
           "< 2 %", share < 2);
}

// --- memory ---------------------------------------------------------------

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

// --- soak -----------------------------------------------------------------

// Files in "waves" that are older than one already played (and deleted):
// they will never play. Playback takes the files in the order the worker
// wrote them, so anything older than a deleted file has been left behind.
class WavesWatch {
  public:
    explicit WavesWatch(std::string dir) : dir_(std::move(dir)) {}

    struct Sample {
        std::size_t files = 0;
        std::size_t leftBehind = 0;
        long played = 0;
    };

    Sample scan() {
        std::map<std::string, std::filesystem::file_time_type> now;
        std::error_code error;
        for (std::filesystem::directory_iterator it(dir_, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code timeError;
            auto written = it->last_write_time(timeError);
            if (!timeError) {
                now.emplace(it->path().filename().string(), written);
            }
        }
        for (const auto& [name, written] : seen_) {
            if (!now.count(name)) {
                ++played_;
                newestPlayed_ = std::max(newestPlayed_, written);
            }
        }
        seen_ = now;
        Sample sample{now.size(), 0, played_};
        for (const auto& [name, written] : now) {
            sample.leftBehind += written < newestPlayed_ ? 1 : 0;
        }
        return sample;
    }

  private:
    std::string dir_;
    std::map<std::string, std::filesystem::file_time_type> seen_;
    std::filesystem::file_time_type newestPlayed_ = std::filesystem::file_time_type::min();
    long played_ = 0;
};

void soakPhase(const Options& options) {
    say(format("\nsoak: %.0f s at %.0f lines/s, the chat connection dropped every %.0f s",
               options.soakSeconds, options.loadRate, options.dropSeconds));
    sim::RoomScript script;
    script.events = pacedChat(options.loadRate, options.loadRate, 0ms);
    script.events.front().delay = std::chrono::milliseconds(1000 / options.loadRate);
    script.loop = true;
    FrameLog log;
    sim::DouyuRoom room(script, roomOptions(&log, false));
    ProgramRun program(options.executable, room, app::Settings{}, "/dev/null");
    if (!startedAndJoined(program)) {
        return;
    }
    WavesWatch waves(program.wavesDir());
    const auto start = Clock::now();
    int drops = 0, rejoins = 0, longestRejoinMs = 0;
    int firstFds = harness::openDescriptors(program.pid()).value_or(-1), lastFds = firstFds,
        peakFds = firstFds;
    std::size_t firstRss = harness::residentBytes(program.pid()).value_or(0), lastRss = firstRss,
                peakRss = firstRss;
    std::size_t peakFiles = 0, leftBehind = 0;
    long lastPlayed = 0;
    say("  minute  fds  RSS MiB  waves  played  left-behind  lines sent");
    auto sample = [&](double minute) {
        lastFds = harness::openDescriptors(program.pid()).value_or(-1);
        lastRss = harness::residentBytes(program.pid()).value_or(0);
        peakFds = std::max(peakFds, lastFds);
        peakRss = std::max(peakRss, lastRss);
        auto w = waves.scan();
        peakFiles = std::max(peakFiles, w.files);
        leftBehind = std::max(leftBehind, w.leftBehind);
        lastPlayed = w.played;
        long sent = 0;
        {
            std::lock_guard lock(log.mutex);
            sent = log.frames;
        }
        std::printf("  %6.1f %4d %8.1f %6zu %7ld %12zu %11ld\n", minute, lastFds, mebibytes(lastRss), w.files,
                    w.played, w.leftBehind, sent);
        std::fflush(stdout);
    };
    sample(0);
    // Drops at whole multiples of the interval from the start, so the rejoin
    // time does not stretch the run; the last one comes before the end.
    const auto end = start + ms(options.soakSeconds * 1000);
    auto waitUntilOrExit = [&](Clock::time_point until) {
        while (Clock::now() < until && program.running()) {
            std::this_thread::sleep_for(std::min<Clock::duration>(5s, until - Clock::now()));
            waves.scan();
        }
    };
    for (auto next = start + ms(options.dropSeconds * 1000); next < end - 1s && program.running();
         next += ms(options.dropSeconds * 1000)) {
        waitUntilOrExit(next);
        if (!program.running()) {
            break;
        }
        sample(seconds(Clock::now() - start) / 60);
        const std::size_t joinsBefore = room.joins().size();
        const auto dropped = Clock::now();
        room.dropChatConnections();
        ++drops;
        if (testing_support::waitUntil(
                [&] { return room.joins().size() > joinsBefore || !program.running(); }, 30s) &&
            program.running()) {
            ++rejoins;
            longestRejoinMs =
                std::max(longestRejoinMs, static_cast<int>(seconds(Clock::now() - dropped) * 1000));
        }
    }
    waitUntilOrExit(end);
    const bool alive = program.running();
    if (alive) {
        sample(seconds(Clock::now() - start) / 60);
    }
    auto exitCode = program.stop();
    report("ran for", format("%.1f min", seconds(Clock::now() - start) / 60));
    report("still running at the end", alive ? "yes" : "NO", "yes", alive);
    report("rejoined after drops",
           format("%.0f of %.0f (slowest %.1f s)", rejoins, drops, longestRejoinMs / 1000.0), "all",
           alive && rejoins == drops);
    report("open descriptors first / peak / last", format("%.0f / %.0f / %.0f", firstFds, peakFds, lastFds),
           "no growth", lastFds <= firstFds + 2);
    report("RSS first / peak / last",
           format("%.1f / %.1f / %.1f MiB", mebibytes(firstRss), mebibytes(peakRss), mebibytes(lastRss)));
    report("files played; most files in waves",
           format("%.0f; %.0f", lastPlayed, static_cast<double>(peakFiles)));
    report("files left behind (older than a played one)", format("%.0f", static_cast<double>(leftBehind)),
           "0", leftBehind == 0);
    report("exit status on SIGTERM", exitCode ? std::to_string(*exitCode) : "none (hung)", "0",
           exitCode && *exitCode == 0);
}

// --- main -----------------------------------------------------------------

const char kUsage[] =
    "usage: sonaro_harness [options]\n"
    "  --exe PATH            the program to drive (default: the one built beside this harness)\n"
    "  --phases LIST         comma-separated: latency,rate,idle,memory (default) or soak\n"
    "  --quick               short durations for a trial run (not the documented figures)\n"
    "  --latency-lines N     lines timed for latency (default 60)\n"
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
                ok = ok && std::set<std::string>{"latency", "rate", "idle", "memory", "soak"}.count(phase);
                options.phases.insert(phase);
            }
        } else if (arg == "--quick") {
            options.latencyLines = 20;
            options.rateStepSeconds = 3;
            options.idleSeconds = 15;
            options.loadSeconds = 60;
            options.afterSeconds = 30;
            options.soakSeconds = 180;
            options.dropSeconds = 30;
        } else if (arg == "--latency-lines") {
            ok = number(options.latencyLines);
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
    for (const auto& f : figures) {
        if (!f.target.empty()) {
            say("| " + f.name + " | " + f.value + " | " + f.target + " | " + (f.met ? "met" : "missed") +
                " |");
            allMet = allMet && f.met;
        }
    }
    return allMet ? 0 : 1;
}
