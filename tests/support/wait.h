// Waiting on conditions with a deadline, never on fixed sleeps.
#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

// Polls `condition` until it holds or `timeout` passes; returns its last value.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testing_support
