// The built program run headless in a folder of its own (a copy of the
// executable, its settings file, its "waves"), joined to a simulated Douyu
// room, with SDL's disk audio driver writing what it plays to a file.
//
// Threads: one owner thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "app/config_file.h"
#include "program_under_test.h"
#include "sim/historic/douyu/douyu_room.h"

namespace harness {

class ProgramRun {
  public:
    // `audioFile` empty: "played.raw" in the program's folder.
    ProgramRun(const std::string& executable, const sim::DouyuRoom& room, const app::Settings& settings,
               const std::string& audioFile = {});
    ~ProgramRun();

    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Until the program reports its chat login and the room saw its group
    // join; false at the deadline or when it exited.
    bool waitJoined(std::chrono::seconds timeout);

    bool running();
    pid_t pid() { return program_->pid(); }
    testing_support::ChildProcess& process() { return *program_.operator->(); }
    const std::string& audioFile() const { return audioFile_; }
    std::string wavesDir() const { return (program_.folder() / "waves").string(); }

    // SIGTERM, then the exit status; nothing when it did not exit in time.
    std::optional<int> stop(std::chrono::seconds timeout = std::chrono::seconds(10));

  private:
    const sim::DouyuRoom& room_;
    testing_support::ProgramUnderTest program_;
    std::string audioFile_;
    std::optional<int> exitCode_;
};

// The headless status line that ends a successful chat login.
std::string joinedLine();

// Files now in `dir` (names only).
std::size_t fileCount(const std::string& dir);

}  // namespace harness
