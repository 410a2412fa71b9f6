// A pause on a thread that must still notice, within a few milliseconds, that
// the program is closing.
//
// Any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace util {

// Sleeps for `duration`, or less when `abort` is raised meanwhile (checked
// every few milliseconds). Returns false when it was cut short.
inline bool sleepUnlessAborted(std::chrono::milliseconds duration, const std::atomic<bool>* abort) {
    constexpr std::chrono::milliseconds kSlice{5};
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        if (abort && abort->load(std::memory_order_acquire)) {
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) {
            return true;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
    }
}

}  // namespace util
