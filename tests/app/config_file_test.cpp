#include "app/config_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "../platforms/golden.h"
#include "app/command_line.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using testing_support::readFile;

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

struct ConfigFile : ::testing::Test {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kConfigFileName);

    app::Settings load(const std::string& utf8) {
        std::ofstream(path, std::ios::binary) << util::utf8ToLocal(utf8);
        return app::loadConfig(path, 4);
    }
};

}  // namespace

TEST_F(ConfigFile, DefaultsAreWrittenInTableOrderWithCrLf) {
    ASSERT_TRUE(app::saveConfig(path, app::Settings{}));
    EXPECT_EQ(readFile(path),
              gbk("直播平台=0\r\n语音模板=0\r\n音量=100\r\n语速=70\r\n房间号=516207\r\n"
                  "弹幕长度最小限制=2\r\n弹幕长度最大限制=60\r\n弹幕缓存数量=200\r\n弹幕语音=1\r\n"
                  "礼物语音=1\r\n语音时长限制=5\r\n欢迎语音=1\r\n播报昵称=1\r\n语音引擎命令=\r\n"
                  "过滤昵称=0\r\n合并重复弹幕=0\r\n输出设备=\r\n引擎原文=0\r\n读关注=1\r\n读分享=0\r\n"
                  "读点赞=0\r\n浏览器标识=\r\n弹幕模板=\r\n礼物模板=\r\n欢迎模板=\r\n关注模板=\r\n"
                  "醒目留言模板=\r\n礼物最低价值=0\r\n同一观众间隔=0\r\n弹幕最长等待=0\r\n同时房间=\r\n"));
    // The file an install puts beside a fresh program is the same.
    EXPECT_EQ(readFile(SONARO_SOURCE_DIR "/app/resources/default-config.txt"), readFile(path));
}

TEST_F(ConfigFile, BrokenFilesGiveTheDefaultsAndMissingKeysTheirs) {
    // Compared whole: every key a file lacks, the later ones included, has its default.
    EXPECT_EQ(app::loadConfig(path, 4), app::Settings{});  // missing
    for (const char* broken : {"音量=50\n音量=60\n", "音量=50\nno equals sign\n", "=5\n"}) {
        EXPECT_EQ(load(broken), app::Settings{}) << broken;
    }
    app::Settings expected;
    expected.volume = 50;
    EXPECT_EQ(load("音量=50\r\n"), expected);
}

// Values out of the dialog's ranges, hand edits and rooms read besides: the
// golden file holds each line as typed and as saved back.
TEST_F(ConfigFile, HandEditedValuesAreReadAndSavedBackNormalised) {
    const auto cases = testing_support::goldenCases("app/config_values.golden");
    ASSERT_EQ(cases.size(), 42u);
    for (const auto& c : cases) {
        ASSERT_TRUE(app::saveConfig(path, load(c.in + "\r\n")));
        EXPECT_NE(("\r\n" + readFile(path)).find("\r\n" + util::utf8ToLocal(c.out) + "\r\n"),
                  std::string::npos)
            << c.in;
    }
    EXPECT_EQ(load("; hand-edited\r\n[section]\r\n音量=1\r\n").volume, 100);  // not a setting in a section

    app::Settings spaced;
    spaced.roomNumber = gbk("  斗鱼 123 ");
    ASSERT_TRUE(app::saveConfig(path, spaced));
    EXPECT_EQ(app::loadConfig(path, 4).roomNumber, gbk("斗鱼 123"));
}

// Free texts the host typed or the audio library named (engine command, device,
// templates): what GBK holds is stored as GBK like every other value, anything
// else still reads back whole, and a line break cannot split the line.
TEST_F(ConfigFile, FreeTextsAndLaterKeysSurviveARoundTrip) {
    const struct {
        const char* typed;
        const char* readBack;
        bool storedAsGbk;
    } cases[] = {
        {"espeak-ng -v cmn -w {wav} --stdin", "espeak-ng -v cmn -w {wav} --stdin", true},
        {"/opt/语音/piper --model \"模型 1.onnx\" {wav}", "/opt/语音/piper --model \"模型 1.onnx\" {wav}",
         true},
        {"耳机 (USB 声卡)", "耳机 (USB 声卡)", true},
        {"Ελληνικά 🎧 monitor", "Ελληνικά 🎧 monitor", false},
        {"utf8:looks-like-the-marker {wav}", "utf8:looks-like-the-marker {wav}", false},
        {"split\r\nline {wav}", "splitline {wav}", true},
        {"", "", true},
    };
    for (const auto& c : cases) {
        app::Settings s;
        s.filterNames = s.foldRepeats = s.engineRawText = s.speakShares = s.speakLikes = true;
        s.speakFollows = false;
        s.engineCommand = s.outputDevice = s.chatTemplate = s.paidTemplate = c.typed;
        s.browserAgent = "Mozilla/5.0 (X11; Linux x86_64) Chrome/150.0.0.0";
        s.minGiftValue = 100;
        s.viewerCooldown = 30;
        s.maxWait = 3600;
        s.alsoRooms = "1:9999,3:660000";
        ASSERT_TRUE(app::saveConfig(path, s));
        app::Settings expected = s;
        expected.engineCommand = expected.outputDevice = expected.chatTemplate = expected.paidTemplate =
            c.readBack;
        EXPECT_EQ(app::loadConfig(path, 4), expected) << c.typed;
        const std::string stored = c.storedAsGbk ? gbk(c.readBack) : "utf8:" + std::string(c.readBack);
        EXPECT_NE(readFile(path).find(gbk("语音引擎命令=") + stored + "\r\n"), std::string::npos) << c.typed;
        EXPECT_NE(readFile(path).find(gbk("输出设备=") + stored + "\r\n"), std::string::npos) << c.typed;
    }
}

TEST_F(ConfigFile, AHugeSettingsFileIsReadOnlyUpToItsCap) {
    // The settings, then twice the cap of comment lines a runaway tool appended.
    {
        std::ofstream out(path, std::ios::binary);
        out << gbk("音量=42\r\n");
        const std::string line(999, ';');
        for (std::size_t written = 0; written <= 2 * app::kConfigFileCap; written += line.size() + 1) {
            out << line << '\n';
        }
        out << gbk("语速=9\r\n");  // beyond the cap: never seen
    }
    testing::internal::CaptureStderr();
    const app::Settings loaded = app::loadConfig(path, 4);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded.volume, 42);
    EXPECT_EQ(loaded.speed, 70);
    EXPECT_NE(said.find(path), std::string::npos) << said;
}

// --also adds rooms like 同时房间, for the run only.
TEST(CommandLine, AlsoAddsRoomsForThisRunAndRefusesWhatItCannotRead) {
    const struct {
        std::vector<std::string> arguments;
        const char* rooms;  // null: refused
    } cases[] = {
        {{"--platform", "4", "--also", "5:9999", "--also", "6:lpl,5:9999"}, "5:9999,6:lpl"},
        {{"--also"}, nullptr},
        {{"--also", ""}, nullptr},
        {{"--also", "7:1"}, nullptr},
        {{"--also", "1:1,1:2,1:3,1:4", "--also", "1:5,1:6,1:7,1:8", "--also", "1:9"}, nullptr},
    };
    for (const auto& c : cases) {
        const app::ParsedCommandLine parsed = app::parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.error.empty(), c.rooms != nullptr) << c.arguments.back();
        if (c.rooms) {
            EXPECT_EQ(roomListText(parsed.options.also), c.rooms);
        }
    }
}
