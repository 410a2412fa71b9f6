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
std::optional<std::string> statTail(pid_t pid, std::string* command = nullptr) {
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
    if (command) {
        *command = line.substr(open + 1, close - open - 1);
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

pid_t findChild(const std::string& name) {
    const pid_t self = ::getpid();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string id = entry.path().filename().string();
        if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string command;
        auto tail = statTail(static_cast<pid_t>(std::stol(id)), &command);
        if (!tail) {
            continue;
        }
        std::istringstream fields(*tail);
        std::string state;
        pid_t parent = 0;
        if (fields >> state >> parent && parent == self && command == name) {
            return static_cast<pid_t>(std::stol(id));
        }
    }
    return -1;
}

}  // namespace harness
