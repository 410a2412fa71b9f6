// The built program as an installed, signalled and ignored process: run from
// a folder it cannot write, closed by every terminating signal, and with a
// standard output that nobody reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "child_process.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using testing_support::readFile;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::waitUntil;

constexpr uid_t kNobody = 65534;

bool hasWav(const fs::path& dir) {
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".wav") {
            return true;
        }
    }
    return false;
}

bool isEmptyDir(const fs::path& dir) {
    std::error_code error;
    return fs::is_empty(dir, error) && !error;
}

// The environment of a quiet machine without a display.
std::vector<std::string> baseEnv() {
    return {"SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"};
}

// Seconds from `signal` until the program is gone; its exit status in `code`.
double closeWith(ChildProcess& program, int signal, std::optional<int>& code) {
    const auto begin = std::chrono::steady_clock::now();
    program.signal(signal);
    code = program.waitExit(5s);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// A portable copy of the program in a fresh folder.
struct PortableCopy {
    testing_support::TempDir dir;
    std::string exe = dir.file("sonaro");
    PortableCopy() { fs::copy_file(SONARO_EXE, exe); }
};

}  // namespace

TEST(InstalledProgram, AReadOnlyFolderKeepsTheFilesInTheUsersFolders) {
    testing_support::TempDir root;
    fs::permissions(root.path(), fs::perms(0755));
    const fs::path install = fs::path(root.path()) / "opt";
    const fs::path home = fs::path(root.path()) / "home";
    fs::create_directories(install);
    fs::create_directories(home);
    fs::copy_file(SONARO_EXE, install / "sonaro");
    const std::string settings = util::utf8ToLocal("弹幕缓存数量=150\r\n");
    std::ofstream(install / "配置.txt", std::ios::binary) << settings;
    std::ofstream(install / "过滤列表.txt", std::ios::binary) << util::utf8ToLocal("广告\r\n");
    std::ofstream(install / "屏蔽用户.txt", std::ios::binary) << util::utf8ToLocal("机器人\r\n");
    fs::permissions(install, fs::perms(0555));

    // Root writes anywhere: the program then runs as nobody, for whom the
    // install folder is read-only as it is for any user.
    const bool root_ = ::geteuid() == 0;
    std::vector<std::string> prefix;
    if (root_) {
        ASSERT_EQ(::chown(home.c_str(), kNobody, kNobody), 0);
        prefix = {"--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    }
    auto run = [&](std::vector<std::string> env) {
        std::vector<std::string> args = prefix;
        args.push_back((install / "sonaro").string());
        for (const char* a : {"--headless", "--demo"}) {
            args.push_back(a);
        }
        env.insert(env.end(),
                   {"HOME=" + home.string(), "SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"});
        return std::make_unique<ChildProcess>(root_ ? "/usr/bin/setpriv" : (install / "sonaro").string(),
                                              args, env, home.string());
    };

    {
        auto program = run({"XDG_CONFIG_HOME=", "XDG_CACHE_HOME="});
        ASSERT_TRUE(program->started());
        const fs::path waves = home / ".cache/sonaro/waves";
        EXPECT_TRUE(waitUntil([&] { return hasWav(waves); }, 30s)) << "no speech file in " << waves;
        EXPECT_EQ(readFile(home / ".config/sonaro/配置.txt"), settings);
        EXPECT_TRUE(fs::exists(home / ".config/sonaro/过滤列表.txt"));
        EXPECT_EQ(readFile(home / ".config/sonaro/屏蔽用户.txt"), util::utf8ToLocal("机器人\r\n"));
        std::optional<int> code;
        closeWith(*program, SIGTERM, code);
        EXPECT_EQ(code, 0);
        for (const auto& line : program->lines()) {
            EXPECT_EQ(line.find("无法写入"), std::string::npos) << line;
        }
    }
    EXPECT_FALSE(fs::exists(install / "waves"));

    {
        // Nothing below a regular file can be created: no speech file anywhere.
        std::ofstream(fs::path(root.path()) / "plain") << "x";
        const fs::path config = fs::path(root.path()) / "config";
        fs::create_directories(config);
        if (root_) {
            ASSERT_EQ(::chown(config.c_str(), kNobody, kNobody), 0);
        }
        const std::string cache = root.file("plain");
        auto program = run({"XDG_CONFIG_HOME=" + config.string(), "XDG_CACHE_HOME=" + cache});
        ASSERT_TRUE(program->started());
        EXPECT_TRUE(program->waitForLine("status 语音:无法写入语音文件: " + cache + "/sonaro/waves", 30s));
        EXPECT_EQ(readFile(config / "sonaro/配置.txt"), settings);
        std::optional<int> code;
        closeWith(*program, SIGTERM, code);
        EXPECT_EQ(code, 0);
    }
    fs::permissions(install, fs::perms(0755));  // so the folder can be removed
}

TEST(ClosingSignals, HangupAndQuitCloseLikeTerminateAndLeaveNoSpeechFiles) {
    for (int signal : {SIGHUP, SIGQUIT, SIGTERM}) {
        PortableCopy copy;
        ChildProcess program(copy.exe, {"--headless", "--demo"}, baseEnv(), copy.dir.path());
        ASSERT_TRUE(program.started());
        const fs::path waves = copy.dir.file("waves");
        // Files are waiting for playback when the signal comes.
        ASSERT_TRUE(waitUntil([&] { return hasWav(waves); }, 30s)) << strsignal(signal);
        std::optional<int> code;
        const double seconds = closeWith(program, signal, code);
        EXPECT_EQ(code, 0) << strsignal(signal);
        EXPECT_LT(seconds, 3.0) << strsignal(signal);
        EXPECT_TRUE(isEmptyDir(waves)) << strsignal(signal);
        std::printf("%s: closed in %.3f s\n", strsignal(signal), seconds);
    }
}

TEST(ClosingSignals, AStandardOutputNobodyReadsDoesNotHoldUpTheClose) {
    int unread[2];
    ASSERT_EQ(::pipe(unread), 0);
    // Fill the pipe first, so the program's very first log line finds it full.
    ::fcntl(unread[1], F_SETFL, O_NONBLOCK);
    const std::string block(4096, 'x');
    while (::write(unread[1], block.data(), block.size()) > 0) {
    }
    ::fcntl(unread[1], F_SETFL, 0);
    ::fcntl(unread[0], F_SETFD, FD_CLOEXEC);

    PortableCopy copy;
    const std::string redirect = "exec \"$0\" \"$@\" >&" + std::to_string(unread[1]);
    ChildProcess program("/bin/sh", {"-c", redirect, copy.exe, "--headless", "--demo"}, baseEnv(),
                         copy.dir.path());
    ::close(unread[1]);
    ASSERT_TRUE(program.started());
    const fs::path waves = copy.dir.file("waves");
    // Speech goes on while the log stalls.
    EXPECT_TRUE(waitUntil([&] { return hasWav(waves); }, 30s));
    std::optional<int> code;
    const double seconds = closeWith(program, SIGTERM, code);
    EXPECT_EQ(code, 0);
    EXPECT_LT(seconds, 3.0);
    EXPECT_TRUE(isEmptyDir(waves));
    std::printf("closed in %.3f s with standard output blocked\n", seconds);
    ::close(unread[0]);
}

TEST(HeadlessLog, StandardOutputCarriesOnlyStatusAndSpeakLines) {
    PortableCopy copy;
    const std::string errors = copy.dir.file("stderr.txt");
    // Longzhu against a port that refuses: the client fails, restarts and
    // says so on its console line, which is not part of the log.
    std::vector<std::string> env = baseEnv();
    env.insert(env.end(), {"SONARO_LONGZHU_HOST=127.0.0.1:1", "SONARO_LONGZHU_CHAT_HOST=127.0.0.1:1",
                           "ERRORS=" + errors});
    ChildProcess program("/bin/sh",
                         {"-c", "exec \"$0\" \"$@\" 2>\"$ERRORS\"", copy.exe, "--headless", "--platform", "3",
                          "--room", "1", "--login"},
                         env, copy.dir.path());
    ASSERT_TRUE(program.started());
    EXPECT_TRUE(
        waitUntil([&] { return readFile(errors).find("准备重新连接服务器") != std::string::npos; }, 30s))
        << readFile(errors);
    std::optional<int> code;
    closeWith(program, SIGTERM, code);
    EXPECT_EQ(code, 0);
    const auto lines = program.lines();
    EXPECT_FALSE(lines.empty());
    for (const auto& line : lines) {
        EXPECT_TRUE(line.rfind("status ", 0) == 0 || line.rfind("speak ", 0) == 0) << line;
    }
}
