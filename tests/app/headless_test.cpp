// The built program, copied alone into an empty folder and run headless.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "temp_dir.h"
#include "wait.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

pid_t launch(const std::string& program, std::vector<std::string> arguments, const std::string& outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or -1 when the process has not ended within `timeout`.
int waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    bool ended = testing_support::waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string copyProgram(const testing_support::TempDir& dir) {
    const std::string copy = dir.file("sonaro");
    fs::copy_file(SONARO_EXECUTABLE, copy);
    return copy;
}

}  // namespace

TEST(Headless, RunsAloneInAnEmptyFolderAndEndsOnSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        testing_support::TempDir dir;
        const std::string program = copyProgram(dir);
        pid_t pid = launch(program, {"--headless"}, dir.file("out.txt"));
        ASSERT_GT(pid, 0);
        // "waves" appears once the dialog has initialised.
        ASSERT_TRUE(testing_support::waitUntil([&] { return fs::is_directory(dir.file("waves")); },
                                               std::chrono::seconds(20)));
        ::kill(pid, signal);
        EXPECT_EQ(waitForExit(pid, std::chrono::seconds(1)), 0) << "signal " << signal;
    }
}

TEST(CommandLine, ParsesEveryOptionAndRejectsBadValues) {
    auto parsed = app::parseCommandLine(
        {"--headless", "--platform", "3", "--room", "斗鱼 1", "--login", "--demo", "--demo-seconds", "2.5"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.headless && parsed.options.login && parsed.options.demo);
    EXPECT_EQ(parsed.options.platform, 3);
    EXPECT_EQ(parsed.options.room, "斗鱼 1");
    EXPECT_EQ(parsed.options.demoSeconds, 2.5);

    const std::vector<std::string> bad[] = {
        {"--platform", "4"}, {"--platform", "01"}, {"--room"}, {"--demo-seconds", "0"}, {"-platform", "1"}};
    for (const auto& arguments : bad) {
        EXPECT_NE(app::parseCommandLine(arguments).error, "") << arguments[0];
    }
}
