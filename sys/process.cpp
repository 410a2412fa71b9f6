#include "sys/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace sys {

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Writes what the pipe takes now. A program that closed its input early makes
// the write fail with EPIPE; SIGPIPE is held back on this thread meanwhile and
// swallowed, so it never ends the whole program.
bool writeSome(int fd, std::string_view& rest) {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    ssize_t written = ::write(fd, rest.data(), rest.size());
    int error = errno;
    if (written < 0 && error == EPIPE) {
        timespec none{};
        while (sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (written >= 0) {
        rest.remove_prefix(static_cast<std::size_t>(written));
        return true;
    }
    return error == EAGAIN || error == EINTR;
}

// Reads what is there; false at end of file or on an error.
bool readSome(int fd, std::string& into, std::size_t limit) {
    char buffer[4096];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            std::size_t room = limit > into.size() ? limit - into.size() : 0;
            into.append(buffer, std::min(room, static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        return false;
    }
}

void recordStatus(int status, ProcessResult& result) {
    if (WIFEXITED(status)) {
        result.outcome = ProcessResult::Outcome::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.outcome = ProcessResult::Outcome::Killed;
        result.exitCode = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    }
}

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, std::string_view input,
                         const ProcessLimits& limits) {
    ProcessResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = "empty command";
        return result;
    }
    int inFds[2], outFds[2];
    if (::pipe2(inFds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    Fd inRead(inFds[0]), inWrite(inFds[1]);
    if (::pipe2(outFds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    Fd outRead(outFds[0]), outWrite(outFds[1]);

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, inRead.get(), 0);
    posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Sockets and files this program opened without close-on-exec stay ours.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
    // A signal ignored or blocked here would stay so across exec: start clean.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
    if (spawned != 0) {
        result.error = std::strerror(spawned);
        return result;
    }
    inRead.reset();
    outWrite.reset();
    setNonBlocking(inWrite.get());
    setNonBlocking(outRead.get());

    const auto deadline = Clock::now() + limits.timeout;
    std::string_view rest = input;
    if (rest.empty()) {
        inWrite.reset();
    }
    bool reaped = false;
    while (!reaped) {
        const auto now = Clock::now();
        const bool cancelled = limits.cancelled && limits.cancelled->load();
        if (now >= deadline || cancelled) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.outcome = cancelled ? ProcessResult::Outcome::Cancelled : ProcessResult::Outcome::TimedOut;
            return result;
        }
        pollfd fds[2];
        nfds_t count = 0;
        if (outRead.get() >= 0) {
            fds[count++] = {outRead.get(), POLLIN, 0};
        }
        if (inWrite.get() >= 0) {
            fds[count++] = {inWrite.get(), POLLOUT, 0};
        }
        // With both pipes done only the exit is left to wait for; poll in short
        // steps so a program that closed its output but lingers is still timed.
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        int wait = count == 0 ? 2 : static_cast<int>(std::min<long long>(left, 50));
        if (::poll(count ? fds : nullptr, count, wait) < 0 && errno != EINTR) {
            break;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].fd == outRead.get() && fds[i].revents != 0 &&
                !readSome(outRead.get(), result.output, limits.outputBytes)) {
                outRead.reset();
            } else if (fds[i].fd == inWrite.get() && fds[i].revents != 0) {
                if (!writeSome(inWrite.get(), rest) || rest.empty()) {
                    inWrite.reset();
                }
            }
        }
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            reaped = true;
            recordStatus(status, result);
        }
    }
    if (!reaped) {
        int status = 0;
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        recordStatus(status, result);
    }
    // Whatever it wrote just before it ended; a helper it left behind may keep
    // the pipe open, so this takes only what is there now.
    if (outRead.get() >= 0) {
        readSome(outRead.get(), result.output, limits.outputBytes);
    }
    return result;
}

}  // namespace sys
