#include "phases.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>

#include "process_probe.h"
#include "wait.h"

namespace harness {

using namespace std::chrono_literals;

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

}  // namespace harness
