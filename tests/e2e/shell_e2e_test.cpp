// The built program as the host's system runs it: installed in a folder it
// cannot write, and closed while a chat flood is being read, a fetch hangs
// and nobody reads its standard output.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

#include "program_under_test.h"
#include "sim/http_server.h"
#include "util/fetch.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ProgramUnderTest;
using testing_support::readFile;

TEST(InstalledProgram, AReadOnlyFolderKeepsTheFilesInTheUsersFolders) {
    // Root writes anywhere: the program then runs as nobody, for whom the
    // install folder is read-only as it is for any user.
    const bool root = ::geteuid() == 0;
    testing_support::TempDir home;
    const std::string settings = "弹幕缓存数量=150\r\n";
    ProgramUnderTest program(
        {.args = {"--demo"},
         .env = {"HOME=" + home.path(), "XDG_CONFIG_HOME=", "XDG_CACHE_HOME="},
         .settings = settings,
         .filters = "广告\r\n",
         .mutes = "机器人\r\n",
         .folder = "opt",
         .wrapper = root ? std::vector<std::string>{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                                    "--clear-groups", "--"}
                         : std::vector<std::string>{}});
    fs::permissions(program.root(), fs::perms(0755));
    fs::permissions(program.folder(), fs::perms(0555));
    if (root) {
        ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(program.start());
    const fs::path user = home.path();
    EXPECT_TRUE(testing_support::waitUntil(
        [&] { return program.waitingSpeech(user / ".cache/sonaro/waves") > 0; }, 30s));
    EXPECT_EQ(readFile(user / ".config/sonaro/配置.txt"), util::utf8ToLocal(settings));
    EXPECT_TRUE(fs::exists(user / ".config/sonaro/过滤列表.txt"));
    EXPECT_EQ(readFile(user / ".config/sonaro/屏蔽用户.txt"), util::utf8ToLocal("机器人\r\n"));
    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(program.lines("status 语音:无法写入"), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(program.folder() / "waves"));
}

// Longzhu reads chat by polling the chat host: a proxy passes the polls to
// the flooding room until told to hold one without an answer.
TEST(CloseEndToEnd, PromptUnderAFloodWithAFetchUnderWayAndAStalledLog) {
    sim::RoomScript flood;
    flood.loop = true;
    for (int i = 0; i < 50; ++i) {
        flood.events.push_back(
            {sim::ScriptEvent::Kind::Chat, "观众" + std::to_string(i), "刷屏" + std::to_string(i), 1, 1ms});
    }
    auto room = sim::makeRoom(3, flood);
    ASSERT_TRUE(room);
    std::string chatHost;
    for (const auto& [name, value] : room->hostSettings()) {
        chatHost = name == "SONARO_LONGZHU_CHAT_HOST" ? value : chatHost;
    }
    std::atomic<bool> hang{false};
    std::atomic<int> held{0};
    sim::HttpServer proxy([&](const sim::HttpRequest& request) {
        sim::HttpResponse response;
        response.silent = hang.load();
        held += response.silent ? 1 : 0;
        response.body = response.silent ? "" : util::fetchPage(chatHost + request.target, {});
        return response;
    });
    ProgramUnderTest program({.room = room.get(),
                              .platform = 3,
                              .env = {"SONARO_LONGZHU_CHAT_HOST=" + proxy.hostPort()},
                              .unreadOutput = true});
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(testing_support::waitUntil([&] { return program.waitingSpeech() > 0; }, 30s));
    hang = true;
    ASSERT_TRUE(testing_support::waitUntil([&] { return held > 0; }, 30s));
    ASSERT_GT(program.waitingSpeech(), 0u);
    EXPECT_EQ(program.close(SIGTERM, 3s), 0) << "not closed promptly";
    EXPECT_EQ(program.waitingSpeech(), 0u) << "speech files left behind";
}

}  // namespace
