// SIGTERM closes the built program at once in every state: before the login,
// while a platform's page never answers, and in the middle of a chat flood.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "child_process.h"
#include "core/platform_hosts.h"
#include "platforms/catalogue.h"
#include "sim/http_server.h"
#include "sim/room.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;

// True once `pid` has a handler for SIGTERM: from then on the signal takes
// the program's own cancel path.
bool catchesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct ProgramRun {
    testing_support::TempDir dir;
    std::unique_ptr<ChildProcess> program;

    void start(std::vector<std::string> args, std::vector<std::string> env) {
        const std::string exe = dir.file("sonaro");
        std::filesystem::copy_file(SONARO_EXE, exe);
        env.insert(env.end(), {"SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"});
        args.insert(args.begin(), "--headless");
        program = std::make_unique<ChildProcess>(exe, args, env, dir.path());
    }

    // Sends SIGTERM; the time until the program is gone, and its exit status.
    std::pair<std::chrono::duration<double, std::milli>, std::optional<int>> terminate() {
        auto begin = std::chrono::steady_clock::now();
        program->signal(SIGTERM);
        auto code = program->waitExit(10s);
        return {std::chrono::steady_clock::now() - begin, code};
    }
};

void expectPromptExit(ProgramRun& run, const std::string& what) {
    auto [took, code] = run.terminate();
    std::printf("%s: gone %.0f ms after SIGTERM\n", what.c_str(), took.count());
    ASSERT_TRUE(code.has_value()) << what;
    EXPECT_EQ(*code, 0) << what;
    EXPECT_LT(took, 3s) << what;
}

}  // namespace

TEST(CloseEndToEnd, BeforeLogin) {
    ProgramRun run;
    run.start({"--platform", "0", "--room", "1"}, {});
    ASSERT_TRUE(run.program->started());
    ASSERT_TRUE(waitUntil([&] { return catchesSigterm(run.program->pid()); }, 30s));
    expectPromptExit(run, "before login");
}

TEST(CloseEndToEnd, DuringAPageFetchThatNeverAnswers) {
    sim::HttpServer silent([](const sim::HttpRequest&) {
        sim::HttpResponse response;
        response.silent = true;
        return response;
    });
    std::vector<std::string> env;
    for (const platforms::HostVariable& variable : platforms::hostVariables()) {
        env.push_back(variable.name + "=" + silent.hostPort());
    }
    const char* const names[] = {"douyu", "panda", "zhanqi", "longzhu"};
    for (int platform = 0; platform < 4; ++platform) {
        const int before = silent.requests();
        ProgramRun run;
        run.start({"--platform", std::to_string(platform), "--room", "1", "--login"}, env);
        ASSERT_TRUE(waitUntil([&] { return silent.requests() > before; }, 30s)) << names[platform];
        expectPromptExit(run, std::string(names[platform]) + " page fetch");
    }
}

TEST(CloseEndToEnd, DuringAChatFlood) {
    sim::RoomScript flood;
    flood.loop = true;
    for (int i = 0; i < 50; ++i) {
        flood.events.push_back(
            {sim::ScriptEvent::Kind::Chat, "观众" + std::to_string(i), "刷屏" + std::to_string(i), 1, 0ms});
    }
    auto room = sim::makeRoom(0, flood);
    ASSERT_TRUE(room);
    std::vector<std::string> env;
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ProgramRun run;
    run.start({"--platform", "0", "--room", room->roomNumber(), "--login"}, env);
    ASSERT_TRUE(run.program->waitForLine([](const std::string& l) { return l.starts_with("speak "); }, 30s));
    expectPromptExit(run, "chat flood");
}
