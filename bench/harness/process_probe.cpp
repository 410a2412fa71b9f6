#include "process_probe.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace harness {

namespace {

std::string procFile(pid_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

// The fields of /proc/<pid>/stat after the command name, which may hold
// spaces and parentheses itself: field 3 (state) comes first.
std::optional<std::string> statTail(pid_t pid) {
    std::ifstream in(procFile(pid, "stat"));
    std::string line;
    if (!std::getline(in, line)) {
        return std::nullopt;
    }
    auto open = line.find('(');
    auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return std::nullopt;
    }
    return line.substr(close + 2);
}

}  // namespace

std::optional<double> cpuSeconds(pid_t pid) {
    auto tail = statTail(pid);
    if (!tail) {
        return std::nullopt;
    }
    std::istringstream fields(*tail);
    std::string skip;
    for (int field = 3; field < 14; ++field) {
        fields >> skip;
    }
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system)) {
        return std::nullopt;
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<std::size_t> residentBytes(pid_t pid) {
    std::ifstream in(procFile(pid, "status"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return static_cast<std::size_t>(std::stoull(line.substr(6))) * 1024;
        }
    }
    return std::nullopt;
}

std::optional<int> openDescriptors(pid_t pid) {
    std::error_code error;
    std::filesystem::directory_iterator it(procFile(pid, "fd"), error);
    if (error) {
        return std::nullopt;
    }
    int count = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

}  // namespace harness
