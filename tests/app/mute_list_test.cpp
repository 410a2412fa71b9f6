#include "app/mute_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "../platforms/golden.h"
#include "gbk.h"
#include "temp_dir.h"
#include "util/text.h"

using testing_support::readFile;

TEST(MuteList, AppendingAndRemovingKeepTheFilesEncodingAndOtherLines) {
    const auto cases = testing_support::goldenCases("app/mute_file.golden");
    ASSERT_EQ(cases.size(), 8u);
    for (const auto& c : cases) {
        testing_support::TempDir dir;
        const std::string path = dir.file(app::kMuteFileName);
        const std::string before = c.in.substr(c.in.find('|') + 1);
        if (!before.starts_with("missing")) {
            std::ofstream(path, std::ios::binary) << fileBytes(before);
        }
        if (c.in.starts_with("append")) {
            ASSERT_TRUE(app::appendMutedName(path, gbk("甲"))) << c.in;
        } else {
            EXPECT_TRUE(app::removeMutedName(path, gbk("甲"))) << c.in;
        }
        EXPECT_EQ(readFile(path), fileBytes(c.out)) << c.in;
        const bool append = c.in.starts_with("append");
        const auto names = app::loadMutedNames(path);
        EXPECT_EQ(names.count(gbk("甲")), append ? 1u : 0u) << c.in;
        EXPECT_TRUE(!append || names.size() == (before.starts_with("missing") ? 1u : 2u)) << c.in;
    }
    // A broken line stays as it is, and a missing file has nothing to remove.
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kMuteFileName);
    std::ofstream(path, std::ios::binary) << gbk("乙\n甲\n") + "\x81\n";
    EXPECT_TRUE(app::removeMutedName(path, gbk("甲")));
    EXPECT_EQ(readFile(path), gbk("乙\n") + "\x81\n");
    EXPECT_TRUE(app::removeMutedName(dir.file("missing.txt"), gbk("甲")));
}

// A change is read once the file stayed as it is for a whole poll, once.
TEST(MuteList, AnEditIsReadOnceTheFileSettles) {
    const std::map<char, app::FileStamp> stamps{
        {'a', {true, 1, 10, 100}}, {'b', {true, 1, 12, 200}}, {'c', {true, 2, 12, 300}}, {'-', {}}};
    const auto cases = testing_support::goldenCases("app/mute_polls.golden");
    ASSERT_EQ(cases.size(), 5u);
    for (const auto& c : cases) {
        app::SettledChange change(stamps.at('a'));
        std::string read;
        for (const char poll : c.in) {
            read += change.poll(stamps.at(poll)) ? '1' : '0';
        }
        EXPECT_EQ(read, c.out) << c.in;
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

TEST(MuteList, NamesThatCannotBeALineAreRefused) {
    testing_support::TempDir dir;
    const std::string path = dir.file(app::kMuteFileName);
    EXPECT_FALSE(app::appendMutedName(path, ""));
    EXPECT_FALSE(app::appendMutedName(path, "\r\n"));
    EXPECT_TRUE(app::appendMutedName(path, "a\nb"));  // one line, the break dropped
    EXPECT_EQ(readFile(path), "ab\r\n");
    EXPECT_FALSE(app::appendMutedName(dir.file("no/such/folder/x.txt"), "c"));
}
