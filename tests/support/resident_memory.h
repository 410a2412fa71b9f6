// The test process's peak resident memory, for tests whose point is that a
// hostile input does not make the process grow.
#pragma once

#include <fstream>
#include <string>

namespace testing_support {

// AddressSanitizer keeps freed memory in quarantine, so its peaks say nothing
// about what the code holds: tests print the figure but assert no bound.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentBoundsHold = false;
#else
inline constexpr bool kResidentBoundsHold = true;
#endif

// Peak resident size since the last reset, in MB.
inline double peakResidentMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

inline void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace testing_support
