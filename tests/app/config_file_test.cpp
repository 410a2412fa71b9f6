#include "app/config_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "../platforms/golden.h"
#include "app/command_line.h"
#include "app/filter_list.h"
#include "gbk.h"
#include "platforms/catalogue.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using testing_support::readFile;

struct ConfigFile : ::testing::Test {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kConfigFileName);
    const std::vector<RoomIdKind> allKinds = platforms::roomKinds();
    const std::span<const RoomIdKind> kinds = std::span(allKinds).first(4);  // 4 is out of range

    app::Settings load(const std::string& utf8) {
        std::ofstream(path, std::ios::binary) << util::utf8ToLocal(utf8);
        return app::loadConfig(path, kinds);
    }
};

}  // namespace

TEST_F(ConfigFile, DefaultsAreWrittenInTableOrderWithCrLf) {
    ASSERT_TRUE(app::saveConfig(path, app::Settings{}));
    // The file an install puts beside a fresh program pins the table order and CR LF.
    EXPECT_EQ(readFile(SONARO_SOURCE_DIR "/app/resources/default-config.txt"), readFile(path));
}

TEST_F(ConfigFile, BrokenFilesGiveTheDefaultsAndMissingKeysTheirs) {
    // Compared whole: every key a file lacks, the later ones included, has its default.
    EXPECT_EQ(app::loadConfig(path, kinds), app::Settings{});  // missing
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
    EXPECT_EQ(app::loadConfig(path, kinds).roomNumber, gbk("斗鱼 123"));
}

// Free texts the host typed or the audio library named (engine command, device,
// templates): what GBK holds is stored as GBK like every other value, anything
// else still reads back whole, and a line break cannot split the line.
TEST_F(ConfigFile, FreeTextsAndLaterKeysSurviveARoundTrip) {
    const auto cases = testing_support::goldenCases("app/free_texts.golden");
    ASSERT_EQ(cases.size(), 7u);
    for (const auto& c : cases) {
        app::Settings s;
        s.filterNames = s.foldRepeats = s.engineRawText = s.speakShares = s.speakLikes = true;
        s.speakFollows = false;
        s.engineCommand = s.outputDevice = s.chatTemplate = s.paidTemplate = c.in;
        const std::string readBack = c.out.substr(c.out.find('|') + 1);
        s.browserAgent = "Mozilla/5.0 (X11; Linux x86_64) Chrome/150.0.0.0";
        s.minGiftValue = 100;
        s.viewerCooldown = 30;
        s.maxWait = 3600;
        s.alsoRooms = "1:9999,3:660000";
        ASSERT_TRUE(app::saveConfig(path, s));
        app::Settings expected = s;
        expected.engineCommand = expected.outputDevice = expected.chatTemplate = expected.paidTemplate =
            readBack;
        EXPECT_EQ(app::loadConfig(path, kinds), expected) << c.in;
        const std::string stored =
            c.out.starts_with("gbk|") ? util::utf8ToLocal(readBack) : "utf8:" + readBack;
        EXPECT_NE(readFile(path).find(gbk("语音引擎命令=") + stored + "\r\n"), std::string::npos) << c.in;
        EXPECT_NE(readFile(path).find(gbk("输出设备=") + stored + "\r\n"), std::string::npos) << c.in;
    }
}

// A settings or filter file a runaway tool grew: nothing past its cap is
// read, and the host is told which file it was.
TEST_F(ConfigFile, HugeFilesAreReadOnlyUpToTheirCaps) {
    auto grow = [](const std::string& file, const std::string& head, std::size_t cap,
                   const std::string& filler, const std::string& tail) {
        std::ofstream out(file, std::ios::binary);
        out << head;
        for (std::size_t written = 0; written <= cap; written += filler.size() + 1) {
            out << filler << '\n';
        }
        out << tail;
    };
    const std::string filters = dir.file(app::kFilterFileName);
    grow(path, gbk("音量=42\r\n"), 2 * app::kConfigFileCap, std::string(999, ';'), gbk("语速=9\r\n"));
    grow(filters, gbk("广告\n"), app::kFilterFileCap, std::string(1000, 'x'), "late\n");
    testing::internal::CaptureStderr();
    const app::Settings loaded = app::loadConfig(path, kinds);
    const std::vector<std::string> words = app::loadFilterList(filters);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded.volume, 42);
    EXPECT_EQ(loaded.speed, 70);  // 语速=9 lies past the cap
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front(), gbk("广告"));
    EXPECT_EQ(words.back(), std::string(1000, 'x'));  // whole lines only
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find(filters), std::string::npos) << said;
}

// --also adds rooms like 同时房间, for the run only.
TEST(CommandLine, AlsoAddsRoomsForThisRunAndRefusesWhatItCannotRead) {
    for (const auto& c : testing_support::goldenCases("app/also_arguments.golden")) {
        std::vector<std::string> arguments;
        std::istringstream words(c.in);
        for (std::string word; words >> word;) {
            arguments.push_back(word == "''" ? "" : word);
        }
        const app::ParsedCommandLine parsed = app::parseCommandLine(arguments);
        EXPECT_EQ(parsed.error.empty() ? roomListText(parsed.options.also) : "refused", c.out) << c.in;
    }
}
