#include "platforms/catalogue.h"

#include <gtest/gtest.h>

#include <set>

// Hosts' scripts and the user guide name these variables: a rename or a new
// default breaks them.
TEST(Catalogue, HostVariablesKeepTheirNamesDefaultsAndOrder) {
    const std::pair<const char*, const char*> table[] = {
        {"SONARO_DOUYU_HOST", "www.douyu.com"},
        {"SONARO_DOUYU_CHAT_HOST", "danmu.douyutv.com"},
        {"SONARO_PANDA_HOST", "www.panda.tv"},
        {"SONARO_ZHANQI_HOST", "www.zhanqi.tv"},
        {"SONARO_LONGZHU_HOST", "star.longzhu.com"},
        {"SONARO_LONGZHU_CHAT_HOST", "mbgo.plu.cn"},
        {"SONARO_BILIBILI_API", "https://api.bilibili.com"},
        {"SONARO_BILIBILI_LIVE_API", "https://api.live.bilibili.com"},
        {"SONARO_DOUYU_API", "https://www.douyu.com"},
        {"SONARO_DOUYU_GIFT_API", "https://gift.douyucdn.cn"},
        {"SONARO_DOUYU_WEBCONF", "https://webconf.douyucdn.cn"},
        {"SONARO_DOUYU_WS", ""},
        {"SONARO_HUYA_PAGE", "https://www.huya.com"},
        {"SONARO_HUYA_WS", "wss://cdnws.api.huya.com"},
        {"SONARO_TEST_CA_FILE", ""},
    };
    const auto variables = platforms::hostVariables();
    ASSERT_EQ(variables.size(), std::size(table));
    for (std::size_t i = 0; i < variables.size(); ++i) {
        EXPECT_EQ(variables[i].name, table[i].first);
        EXPECT_EQ(variables[i].defaultValue, table[i].second) << table[i].first;
        PlatformHosts hosts;
        EXPECT_FALSE(platforms::setHost(hosts, table[i].first, "")) << "an empty value keeps the default";
        EXPECT_TRUE(platforms::setHost(hosts, table[i].first, "127.0.0.1:4000"));
        EXPECT_EQ(hosts.values,
                  (std::map<std::string, std::string, std::less<>>{{table[i].first, "127.0.0.1:4000"}}));
    }
    PlatformHosts hosts;
    EXPECT_FALSE(platforms::setHost(hosts, "SONARO_DOUYU", "x"));
    EXPECT_FALSE(platforms::setHost(hosts, "sonaro_douyu_host", "x"));
    EXPECT_TRUE(hosts.values.empty());
}

// The settings store an entry's index and the dialog shows its names.
TEST(Catalogue, EveryEntrySitsAtItsIndexWithNamesOfItsOwn) {
    std::set<std::string> keys, listNames;
    const auto list = platforms::catalogue();
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i]->index, static_cast<int>(i)) << list[i]->key;
        EXPECT_TRUE(keys.insert(list[i]->key).second) << list[i]->key;
        EXPECT_TRUE(listNames.insert(list[i]->listName).second) << list[i]->key;
        EXPECT_TRUE(*list[i]->helpName && *list[i]->statusPrefix && list[i]->makeClient) << list[i]->key;
    }
    EXPECT_EQ(platforms::entryAt(-1), nullptr);
    EXPECT_EQ(platforms::entryAt(static_cast<int>(list.size())), nullptr);
}
