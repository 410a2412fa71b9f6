// Settings and filter files as hosts and accidents leave them: values out of
// the dialog's ranges, files grown far beyond any real size, filter lists
// saved by editors in either encoding.
#include <gtest/gtest.h>

#include <fstream>

#include "app/config_file.h"
#include "app/filter_list.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

struct Files : ::testing::Test {
    testing_support::TempDir dir;
    const std::string config = dir.file(app::kConfigFileName);
    const std::string filter = dir.file(app::kFilterFileName);

    void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

}  // namespace

TEST_F(Files, LoadedValuesOutsideTheDialogRangesGiveTheirDefaults) {
    struct Row {
        const char* key;
        std::int32_t app::Settings::*field;
        std::int64_t low, high, fallback;
    };
    const int platforms = 6;
    const Row rows[] = {
        {"直播平台", &app::Settings::platform, 0, platforms - 1, 0},
        {"语音模板", &app::Settings::voice, 0, 15, 0},
        {"音量", &app::Settings::volume, 0, 100, 100},
        {"语速", &app::Settings::speed, 1, 100, 70},
        {"弹幕长度最小限制", &app::Settings::minChatLength, 2, 100, 2},
        {"弹幕长度最大限制", &app::Settings::maxChatLength, 10, 100, 60},
        {"弹幕缓存数量", &app::Settings::cacheCount, 100, 300, 200},
        {"语音时长限制", &app::Settings::speechSeconds, 1, 99, 5},
    };
    for (const Row& row : rows) {
        for (std::int64_t value : {row.low - 1, row.low, row.high, row.high + 1}) {
            write(config, gbk(row.key) + "=" + std::to_string(value) + "\r\n");
            const bool inside = value >= row.low && value <= row.high;
            EXPECT_EQ(app::loadConfig(config, platforms).*row.field, inside ? value : row.fallback)
                << row.key << "=" << value;
        }
    }
}

TEST_F(Files, AHugeSettingsFileIsReadOnlyUpToItsCap) {
    // The settings, then twice the cap of comment lines a runaway tool appended.
    {
        std::ofstream out(config, std::ios::binary);
        out << gbk("音量=42\r\n");
        const std::string line(999, ';');
        for (std::size_t written = 0; written <= 2 * app::kConfigFileCap; written += line.size() + 1) {
            out << line << '\n';
        }
        out << gbk("语速=9\r\n");  // beyond the cap: never seen
    }
    testing::internal::CaptureStderr();
    const app::Settings loaded = app::loadConfig(config, 4);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded.volume, 42);
    EXPECT_EQ(loaded.speed, 70);
    EXPECT_NE(said.find(config), std::string::npos) << said;
}

TEST_F(Files, AHugeFilterListKeepsTheWordsWithinItsCap) {
    {
        std::ofstream out(filter, std::ios::binary);
        out << gbk("广告") << '\n';
        const std::string line(1000, 'x');
        for (std::size_t written = 0; written <= app::kFilterFileCap; written += line.size() + 1) {
            out << line << '\n';
        }
        out << "late\n";
    }
    testing::internal::CaptureStderr();
    const std::vector<std::string> words = app::loadFilterList(filter);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(filter), std::string::npos);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front(), gbk("广告"));
    EXPECT_EQ(words.back(), std::string(1000, 'x'));  // whole lines only, and nothing past the cap
}

TEST_F(Files, FilterListsInEitherEncodingGiveGbkWords) {
    const std::vector<std::string> expected{gbk("广告"), gbk("加微信"), "qq"};
    const std::pair<const char*, std::string> files[] = {
        {"GBK", gbk("广告\r\n加微信\r\nqq\r\n")},
        {"UTF-8", "广告\n加微信\nqq\n"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF广告\r\n加微信\r\nqq"},
    };
    for (const auto& [name, bytes] : files) {
        write(filter, bytes);
        EXPECT_EQ(app::loadFilterList(filter), expected) << name;
    }
}
