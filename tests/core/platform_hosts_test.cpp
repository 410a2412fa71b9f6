#include "core/platform_hosts.h"

#include <gtest/gtest.h>

// The variables and defaults are the user guide's; a renamed variable or a
// swapped field would point a client at another platform's host.
TEST(PlatformHosts, EachVariableSetsItsOwnFieldOverTheHistoricDefault) {
    const PlatformHosts defaults;
    const std::tuple<const char*, std::string PlatformHosts::*, const char*> table[] = {
        {"SONARO_DOUYU_HOST", &PlatformHosts::douyuPage, "www.douyu.com"},
        {"SONARO_DOUYU_CHAT_HOST", &PlatformHosts::douyuChat, "danmu.douyutv.com"},
        {"SONARO_PANDA_HOST", &PlatformHosts::panda, "www.panda.tv"},
        {"SONARO_ZHANQI_HOST", &PlatformHosts::zhanqi, "www.zhanqi.tv"},
        {"SONARO_LONGZHU_HOST", &PlatformHosts::longzhuPage, "star.longzhu.com"},
        {"SONARO_LONGZHU_CHAT_HOST", &PlatformHosts::longzhuChat, "mbgo.plu.cn"},
        {"SONARO_BILIBILI_API", &PlatformHosts::bilibiliApi, "https://api.bilibili.com"},
        {"SONARO_BILIBILI_LIVE_API", &PlatformHosts::bilibiliLiveApi, "https://api.live.bilibili.com"},
        {"SONARO_DOUYU_API", &PlatformHosts::douyuApi, "https://www.douyu.com"},
        {"SONARO_DOUYU_GIFT_API", &PlatformHosts::douyuGiftApi, "https://gift.douyucdn.cn"},
        {"SONARO_DOUYU_WEBCONF", &PlatformHosts::douyuWebconf, "https://webconf.douyucdn.cn"},
        {"SONARO_DOUYU_WS", &PlatformHosts::douyuWs, ""},
        {"SONARO_HUYA_PAGE", &PlatformHosts::huyaPage, "https://www.huya.com"},
        {"SONARO_HUYA_WS", &PlatformHosts::huyaWs, "wss://cdnws.api.huya.com"},
        {"SONARO_TEST_CA_FILE", &PlatformHosts::testCaFile, ""},
    };
    ASSERT_EQ(hostVariables().size(), std::size(table));
    for (const auto& [name, field, historic] : table) {
        EXPECT_EQ(defaults.*field, historic) << name;
        PlatformHosts hosts;
        EXPECT_TRUE(setHost(hosts, name, "127.0.0.1:4000")) << name;
        EXPECT_EQ(hosts.*field, "127.0.0.1:4000") << name;
        hosts.*field = historic;
        for (const auto& [other, otherField, otherHistoric] : table) {
            EXPECT_EQ(hosts.*otherField, otherHistoric) << name << " changed " << other;
        }
        EXPECT_FALSE(setHost(hosts, name, "")) << "an empty value keeps the default";
        EXPECT_EQ(hosts.*field, historic);
    }
    PlatformHosts hosts;
    EXPECT_FALSE(setHost(hosts, "SONARO_DOUYU", "x"));
    EXPECT_FALSE(setHost(hosts, "sonaro_douyu_host", "x"));
}
