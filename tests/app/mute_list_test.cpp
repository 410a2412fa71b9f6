#include "app/mute_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "temp_dir.h"
#include "util/text.h"

namespace {

using testing_support::readFile;

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

}  // namespace

// A name is appended in the encoding the host's editor chose, so the file
// still reads as one encoding afterwards.
TEST(MuteList, AppendsInTheFilesEncodingAndReadsBackEveryName) {
    const struct {
        const char* label;
        std::string before;  // "<missing>": no file
        std::string after;
    } cases[] = {
        {"missing", "<missing>", gbk("甲\r\n")},
        {"GBK, no final break", gbk("乙"), gbk("乙\r\n甲\r\n")},
        {"UTF-8 with BOM", "\xEF\xBB\xBF乙\r\n", "\xEF\xBB\xBF乙\r\n甲\r\n"},
        {"UTF-8, LF", "乙\n", "乙\n甲\r\n"},
        {"ASCII", "bob\n", "bob\n" + gbk("甲\r\n")},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        const std::string path = dir.file(app::kMuteFileName);
        if (c.before != "<missing>") {
            std::ofstream(path, std::ios::binary) << c.before;
        }
        ASSERT_TRUE(app::appendMutedName(path, gbk("甲"))) << c.label;
        EXPECT_EQ(readFile(path), c.after) << c.label;
        const auto names = app::loadMutedNames(path);
        EXPECT_EQ(names.count(gbk("甲")), 1u) << c.label;
        EXPECT_EQ(names.size(), c.before == "<missing>" ? 1u : 2u) << c.label;
    }
}

// A change is read once the file stayed as it is for a whole poll, once.
TEST(MuteList, AnEditIsReadOnceTheFileSettles) {
    const app::FileStamp a{true, 1, 10, 100}, b{true, 1, 12, 200}, c{true, 2, 12, 300}, gone{};
    const struct {
        const char* label;
        std::vector<app::FileStamp> polls;
        std::vector<bool> read;
    } cases[] = {
        {"unchanged", {a, a, a}, {false, false, false}},
        {"one edit", {b, b, b}, {false, true, false}},
        {"rewritten at every poll, then settled",
         {b, c, b, c, c, c},
         {false, false, false, false, true, false}},
        {"removed: read as empty", {gone, gone}, {false, true}},
        {"back as it was before settling", {b, a, a}, {false, false, false}},
    };
    for (const auto& c : cases) {
        app::SettledChange change(a);
        for (std::size_t i = 0; i < c.polls.size(); ++i) {
            EXPECT_EQ(change.poll(c.polls[i]), c.read[i]) << c.label << " poll " << i;
        }
    }
    // The stamp sees a rewrite of the same size.
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kMuteFileName);
    EXPECT_FALSE(app::fileStamp(path).exists);
    std::ofstream(path, std::ios::binary) << "a";
    const app::FileStamp first = app::fileStamp(path);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    EXPECT_NE(app::fileStamp(path), first);
}

// Unmuting takes out the name's lines only, whatever the encoding; the other
// lines stay byte for byte, broken ones included.
TEST(MuteList, RemovingANameKeepsEveryOtherLine) {
    const struct {
        const char* label;
        std::string before;
        std::string after;
    } cases[] = {
        {"GBK, twice", gbk("甲\r\n乙\r\n甲"), gbk("乙\r\n")},
        {"UTF-8 with BOM, first line", "\xEF\xBB\xBF甲\n乙\n", "\xEF\xBB\xBF乙\n"},
        {"GBK, broken line kept", gbk("乙\n甲\n") + "\x81\n", gbk("乙\n") + "\x81\n"},
        {"GBK, not there: untouched", gbk("乙\r\n甲甲\r\n"), gbk("乙\r\n甲甲\r\n")},
    };
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        const std::string path = dir.file(app::kMuteFileName);
        std::ofstream(path, std::ios::binary) << c.before;
        EXPECT_TRUE(app::removeMutedName(path, gbk("甲"))) << c.label;
        EXPECT_EQ(readFile(path), c.after) << c.label;
        EXPECT_EQ(app::loadMutedNames(path).count(gbk("甲")), 0u) << c.label;
    }
    testing_support::TempDir dir;
    EXPECT_TRUE(app::removeMutedName(dir.file("missing.txt"), gbk("甲")));
}

TEST(MuteList, NamesThatCannotBeALineAreRefused) {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kMuteFileName);
    EXPECT_FALSE(app::appendMutedName(path, ""));
    EXPECT_FALSE(app::appendMutedName(path, "\r\n"));
    EXPECT_TRUE(app::appendMutedName(path, "a\nb"));  // one line, the break dropped
    EXPECT_EQ(readFile(path), "ab\r\n");
    EXPECT_FALSE(app::appendMutedName(dir.file("no/such/folder/x.txt"), "c"));
}
