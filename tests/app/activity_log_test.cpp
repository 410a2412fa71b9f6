#include "app/activity_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "util/text.h"

namespace {

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(ActivityLog, LinesStayWholeAndTheFileTurnsOverAtItsCap) {
    testing_support::TempDir dir;
    const std::string path = dir.file("state/sonaro/sonaro.log");  // the folders are made
    {
        app::ActivityLog log(path, 300);
        ASSERT_TRUE(log.isOpen());
        for (int i = 0; i < 40; ++i) {
            log.write(i % 2 ? "speak" : "status",
                      util::utf8ToLocal("甲说:第" + std::to_string(i) + "句\n换行"));
        }
    }
    const auto current = linesOf(path);
    const auto older = linesOf(path + ".1");
    ASSERT_FALSE(current.empty());
    ASSERT_FALSE(older.empty());
    EXPECT_LE(std::filesystem::file_size(path), 300u);
    EXPECT_LE(std::filesystem::file_size(path + ".1"), 300u);
    // The newest line is last, whole, stamped and on one line.
    EXPECT_TRUE(current.back().ends_with(" speak 甲说:第39句 换行")) << current.back();
    EXPECT_EQ(current.back()[4], '-');
    // The older file holds the lines just before, without a gap.
    const std::string last = older.back();
    EXPECT_TRUE(last.find("第" + std::to_string(39 - current.size()) + "句") != std::string::npos) << last;

    // Appends after a restart; a folder that cannot be made writes nothing.
    app::ActivityLog again(path, 300);
    again.write("status", "x");
    EXPECT_EQ(linesOf(path).size(), current.size() + 1);
    app::ActivityLog nowhere(dir.file("state/sonaro/sonaro.log/inside"), 300);
    EXPECT_FALSE(nowhere.isOpen());
    nowhere.write("status", "x");
}
