// What the harness reads about the program from /proc: CPU time, resident
// size and open descriptors of one process.
//
// Threads: any; nothing is cached.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace harness {

// User plus system CPU seconds the process has used; nothing once it is gone.
std::optional<double> cpuSeconds(pid_t pid);

// Resident set size in bytes (VmRSS); nothing once the process is gone.
std::optional<std::size_t> residentBytes(pid_t pid);

// Number of open file descriptors; nothing once the process is gone.
std::optional<int> openDescriptors(pid_t pid);

}  // namespace harness
