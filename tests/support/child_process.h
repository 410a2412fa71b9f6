// Runs a program as a child process for end-to-end tests: collects its
// standard output line by line on a reader thread, lets the test wait for a
// line with a deadline, signal the child and wait for its exit.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "wait.h"

extern char** environ;

namespace testing_support {

class ChildProcess {
  public:
    // `env` entries ("NAME=value") are added to this process's environment; of
    // two entries of one name the later one counts.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {}, const std::string& workingDir = {}) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> argv{program}, envp;
        argv.insert(argv.end(), args.begin(), args.end());
        for (char** e = environ; *e; ++e) {
            envp.emplace_back(*e);
        }
        envp.insert(envp.end(), env.begin(), env.end());
        std::map<std::string, char*> byName;  // the last entry of each name
        for (auto& entry : envp) {
            byName[entry.substr(0, entry.find('='))] = entry.data();
        }
        std::vector<char*> cargv, cenv;
        for (auto& a : argv) {
            cargv.push_back(a.data());
        }
        for (auto& [name, entry] : byName) {
            cenv.push_back(entry);
        }
        cargv.push_back(nullptr);
        cenv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (!workingDir.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
        }
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, cargv.data(), cenv.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        reader_ = std::thread([this, fd = fds[0]] { readLines(fd); });
    }

    ~ChildProcess() {
        if (pid_ > 0 && !exitCode_) {
            ::kill(pid_, SIGKILL);
            waitExit(std::chrono::seconds(5));
        }
        if (reader_.joinable()) {
            reader_.join();
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int sig) {
        if (pid_ > 0) {
            ::kill(pid_, sig);
        }
    }

    // Waits until some output line satisfies `match`; returns it.
    std::optional<std::string> waitForLine(const std::function<bool(const std::string&)>& match,
                                           std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        std::optional<std::string> found;
        changed_.wait_for(lock, timeout, [&] {
            for (const auto& line : lines_) {
                if (match(line)) {
                    found = line;
                    return true;
                }
            }
            return eof_;
        });
        return found;
    }

    std::optional<std::string> waitForLine(const std::string& exact, std::chrono::milliseconds timeout) {
        return waitForLine([&](const std::string& l) { return l == exact; }, timeout);
    }

    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    // Exit status (or 128 + signal); nothing when the child is still running at the deadline.
    std::optional<int> waitExit(std::chrono::milliseconds timeout) {
        waitUntil(
            [&] {
                int status = 0;
                if (!exitCode_ && pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
                    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return exitCode_ || pid_ <= 0;
            },
            timeout);
        return exitCode_;
    }

  private:
    void readLines(int fd) {
        std::string pending;
        char buffer[4096];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t newline;
            while ((newline = pending.find('\n')) != std::string::npos) {
                std::lock_guard lock(mutex_);
                lines_.push_back(pending.substr(0, newline));
                pending.erase(0, newline + 1);
                changed_.notify_all();
            }
        }
        ::close(fd);
        std::lock_guard lock(mutex_);
        if (!pending.empty()) {
            lines_.push_back(pending);
        }
        eof_ = true;
        changed_.notify_all();
    }

    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool eof_ = false;
};

}  // namespace testing_support
