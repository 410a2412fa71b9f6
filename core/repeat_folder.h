// Folds a chat line that repeats one heard moments ago, whoever sends it:
// floods of the same text are read once per window.
//
// Threads: the user-interface thread only (the announcement rules own it).
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <unordered_set>

class RepeatFolder {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kWindow{10};

    explicit RepeatFolder(Clock clock = [] { return std::chrono::steady_clock::now(); })
        : clock_(std::move(clock)) {}

    // True when `text` (the cleaned chat text) was let through within the
    // window.
    bool seen(const std::string& text);
    // Remembers `text` as let through now.
    void remember(const std::string& text);

    // Forgets everything (the setting was switched off).
    void reset();

  private:
    void expire(std::chrono::steady_clock::time_point now);

    Clock clock_;
    // Texts let through, oldest first, so expiry stays cheap; `inWindow`
    // holds the same texts for lookup.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> order_;
    std::unordered_set<std::string> inWindow_;
};
