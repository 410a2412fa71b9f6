// Running a helper program to completion: no shell in between, text fed to
// its standard input, its output collected, and a time limit after which the
// program (with anything it started) is killed.
//
// Threads: any; a call blocks its thread until the program ends or is killed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

struct ProcessLimits {
    std::chrono::milliseconds timeout{10000};
    std::size_t outputBytes = 4096;  // of standard output and error together; the rest is read and dropped
    // When set and it turns true, the run is killed as at a time-out (checked
    // every 50 ms at most), so a caller that shuts down never waits out the limit.
    const std::atomic<bool>* cancelled = nullptr;
};

struct ProcessResult {
    enum class Outcome {
        Exited,      // exitCode holds the status it returned
        Killed,      // ended by a signal it did not get from us; exitCode holds the signal
        TimedOut,    // ran past the limit and was killed
        Cancelled,   // killed because the caller cancelled it
        NotStarted,  // could not be started (not found, not executable); `error` says why
    };
    Outcome outcome = Outcome::NotStarted;
    int exitCode = -1;
    std::string output;  // standard output and error, interleaved as written, cut at the limit
    std::string error;   // why it did not start (UTF-8, from the system)

    bool succeeded() const { return outcome == Outcome::Exited && exitCode == 0; }
};

// Runs `argv[0]` (looked up on PATH when it has no '/') with `argv` as its
// arguments, byte for byte, and this process's environment. `input` goes to
// its standard input, which is then closed. The program gets a process group
// of its own, so a time-out also ends whatever it started.
ProcessResult runProcess(const std::vector<std::string>& argv, std::string_view input,
                         const ProcessLimits& limits = {});

}  // namespace sys
