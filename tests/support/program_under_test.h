// The built program started the way the end-to-end tests and the harness need
// it: headless, from a folder of its own (a copy of the executable with its
// settings and lists), pointed at simulated rooms in this process, with SDL's
// disk driver recording what it plays when asked. Reads the log with
// deadlines, signals the program and collects its exit status.
//
// Threads: one owner thread.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "sim/room.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace testing_support {

struct Launch {
    // Joined at start: --platform N --room R --login, the room's hosts in the environment.
    const sim::SimulatedRoom* room = nullptr;
    int platform = 0;
    std::vector<std::string> args{};  // after those above
    std::vector<std::string> env{};   // "NAME=value", over the defaults
    // UTF-8 contents of the files beside the program, written as GBK; empty: no file.
    std::string settings{}, filters{}, mutes{};
    std::string folder{};                 // the program's folder inside the test's temporary folder
    bool record = false;                  // SDL's disk driver writes what is played to recording()
    bool unreadOutput = false;            // standard output is a full pipe that nobody reads
    std::vector<std::string> wrapper{};   // a command that runs the program, e.g. setpriv
    std::string executable = SONARO_EXE;  // copied into the folder
};

// What the disk driver recorded (16-bit stereo at 44.1 kHz) from byte `from` on.
struct Recording {
    int peak = 0;
    double audibleSeconds = 0;  // first to last sample above the noise floor
};

inline Recording analyseRecording(const std::string& path, std::size_t from = 0) {
    const std::string bytes = readFile(path);
    Recording r;
    std::size_t first = 0, last = 0;
    bool heard = false;
    for (std::size_t i = from & ~std::size_t{1}; i + 1 < bytes.size(); i += 2) {
        std::int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + i, 2);
        const int magnitude = std::abs(static_cast<int>(sample));
        r.peak = std::max(r.peak, magnitude);
        if (magnitude > 300) {
            first = heard ? first : i;
            last = i;
            heard = true;
        }
    }
    r.audibleSeconds = static_cast<double>(last - first) / (44100.0 * 2 * 2);
    return r;
}

class ProgramUnderTest {
  public:
    // Prepares the folder; start() runs the program, so a test may change the folder in between.
    explicit ProgramUnderTest(Launch launch) : launch_(std::move(launch)), folder_(root_.path()) {
        folder_ /= launch_.folder;
        std::filesystem::create_directories(folder_);
        std::filesystem::copy_file(launch_.executable, exe());
        const std::pair<const char*, const std::string&> files[] = {{"配置.txt", launch_.settings},
                                                                    {"过滤列表.txt", launch_.filters},
                                                                    {"屏蔽用户.txt", launch_.mutes}};
        for (const auto& [name, text] : files) {
            if (!text.empty()) {
                std::ofstream(folder_ / name, std::ios::binary) << util::utf8ToLocal(text);
            }
        }
    }

    ~ProgramUnderTest() {
        process_.reset();
        ::close(unreadEnd_);
        std::error_code error;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, error);
    }

    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    bool start() {
        std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "SDL_DISKAUDIOFILE=" + recording(),
                                     launch_.record ? "SDL_AUDIODRIVER=disk" : "SDL_AUDIODRIVER=dummy"};
        std::vector<std::string> args{"--headless"};
        if (launch_.room) {
            args.insert(args.end(), {"--platform", std::to_string(launch_.platform), "--room",
                                     launch_.room->roomNumber(), "--login"});
            for (const auto& [name, value] : launch_.room->hostSettings()) {
                env.push_back(name + "=" + value);
            }
        }
        args.insert(args.end(), launch_.args.begin(), launch_.args.end());
        env.insert(env.end(), launch_.env.begin(), launch_.env.end());  // the later entry counts
        args.insert(args.begin(), exe());
        int unread[2] = {-1, -1};
        if (launch_.unreadOutput && ::pipe(unread) == 0) {
            // Filled first, so the program's very first log line finds it full.
            ::fcntl(unread[1], F_SETFL, O_NONBLOCK);
            const std::string block(4096, 'x');
            while (::write(unread[1], block.data(), block.size()) > 0) {
            }
            ::fcntl(unread[1], F_SETFL, 0);
            ::fcntl(unread[0], F_SETFD, FD_CLOEXEC);
            args.insert(args.begin(),
                        {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/proc/self/fd/" + std::to_string(unread[1])});
        }
        args.insert(args.begin(), launch_.wrapper.begin(), launch_.wrapper.end());
        const std::string program = args.front();
        args.erase(args.begin());
        process_ = std::make_unique<ChildProcess>(program, args, env, root_.path());
        ::close(unread[1]);
        unreadEnd_ = unread[0];
        return process_->started();
    }

    std::filesystem::path root() const { return root_.path(); }
    const std::filesystem::path& folder() const { return folder_; }
    std::string exe() const { return (folder_ / "sonaro").string(); }
    std::string recording() const { return root_.file("played.raw"); }
    // The running program: waitForLine, lines, signal, waitExit.
    ChildProcess* operator->() { return process_.get(); }

    // Log lines that begin with `prefix`, the prefix cut off.
    std::vector<std::string> lines(const std::string& prefix = {}) {
        std::vector<std::string> found;
        for (const auto& line : process_->lines()) {
            if (line.starts_with(prefix)) {
                found.push_back(line.substr(prefix.size()));
            }
        }
        return found;
    }

    // Speech files in `waves` (default: the program's own) waiting to be played.
    std::size_t waitingSpeech(std::filesystem::path waves = {}) const {
        std::error_code error;
        std::size_t count = 0;
        waves = waves.empty() ? folder_ / "waves" : waves;
        for (std::filesystem::directory_iterator it(waves, error), end; !error && it != end;
             it.increment(error)) {
            count += it->path().extension() == ".wav" ? 1 : 0;
        }
        return count;
    }

    // Sends `signal` and waits for the exit status; nothing when the program outlives `timeout`.
    std::optional<int> close(int signal = SIGTERM,
                             std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        process_->signal(signal);
        return process_->waitExit(timeout);
    }

  private:
    Launch launch_;
    TempDir root_;
    std::filesystem::path folder_;
    std::unique_ptr<ChildProcess> process_;
    int unreadEnd_ = -1;
};

}  // namespace testing_support
