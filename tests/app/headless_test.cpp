// The built program, copied alone into an empty folder and run headless.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/headless_log.h"
#include "temp_dir.h"
#include "util/text.h"
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

TEST(Headless, OptionsAreCheckedBeforeAnythingStarts) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{"--help"}, 0},
        {{"--platform", "4"}, 2},
        {{"--room"}, 2},
        {{"--bogus"}, 2},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        pid_t pid = launch(SONARO_EXECUTABLE, c.arguments, dir.file("out.txt"));
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, std::chrono::seconds(10)), c.exitCode) << c.arguments[0];
        std::ifstream output(dir.file("out.txt"));
        std::string firstLine;
        std::getline(output, firstLine);
        EXPECT_EQ(firstLine.starts_with("Usage: sonaro"), c.exitCode == 0) << firstLine;
    }
}

TEST(CommandLine, ParsesEveryOption) {
    auto parsed = app::parseCommandLine(
        {"--headless", "--platform", "3", "--room", "斗鱼 1", "--login", "--demo", "--demo-seconds", "2.5"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.headless && parsed.options.login && parsed.options.demo);
    EXPECT_EQ(parsed.options.platform, 3);
    EXPECT_EQ(parsed.options.room, "斗鱼 1");
    EXPECT_EQ(parsed.options.demoSeconds, 2.5);

    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"--platform", "-1"},
                                                                              {"--platform", "01"},
                                                                              {"--platform"},
                                                                              {"--demo-seconds", "0"},
                                                                              {"--demo-seconds", "x"},
                                                                              {"-platform", "1"}}) {
        EXPECT_NE(app::parseCommandLine(bad).error, "") << bad[0];
    }
}

TEST(HeadlessLog, OneUtf8LinePerEvent) {
    EXPECT_EQ(app::headlessLine("status", util::utf8ToLocal("熊猫:连接中\r\n")), "status 熊猫:连接中  ");
    EXPECT_EQ(app::headlessLine("speak", ""), "speak ");
}
