#include "core/platform_hosts.h"

#include <array>

namespace {

constexpr std::array kVariables{
    HostVariable{"SONARO_DOUYU_HOST", &PlatformHosts::douyuPage},
    HostVariable{"SONARO_DOUYU_CHAT_HOST", &PlatformHosts::douyuChat},
    HostVariable{"SONARO_PANDA_HOST", &PlatformHosts::panda},
    HostVariable{"SONARO_ZHANQI_HOST", &PlatformHosts::zhanqi},
    HostVariable{"SONARO_LONGZHU_HOST", &PlatformHosts::longzhuPage},
    HostVariable{"SONARO_LONGZHU_CHAT_HOST", &PlatformHosts::longzhuChat},
    HostVariable{"SONARO_BILIBILI_API", &PlatformHosts::bilibiliApi},
    HostVariable{"SONARO_BILIBILI_LIVE_API", &PlatformHosts::bilibiliLiveApi},
    HostVariable{"SONARO_DOUYU_API", &PlatformHosts::douyuApi},
    HostVariable{"SONARO_DOUYU_GIFT_API", &PlatformHosts::douyuGiftApi},
    HostVariable{"SONARO_DOUYU_WEBCONF", &PlatformHosts::douyuWebconf},
    HostVariable{"SONARO_DOUYU_WS", &PlatformHosts::douyuWs},
    HostVariable{"SONARO_HUYA_PAGE", &PlatformHosts::huyaPage},
    HostVariable{"SONARO_HUYA_WS", &PlatformHosts::huyaWs},
    HostVariable{"SONARO_TEST_CA_FILE", &PlatformHosts::testCaFile},
};

}  // namespace

std::span<const HostVariable> hostVariables() {
    return kVariables;
}

bool setHost(PlatformHosts& hosts, std::string_view variable, std::string value) {
    if (value.empty()) {
        return false;
    }
    for (const HostVariable& v : kVariables) {
        if (variable == v.name) {
            hosts.*v.field = std::move(value);
            return true;
        }
    }
    return false;
}
