#include "platforms/registry.h"

#include "platforms/bilibili/CBilibili.h"
#include "platforms/douyuws/CDouyuWs.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "platforms/historic/longzhu/CLZopt.h"
#include "platforms/historic/panda/CPandaTv.h"
#include "platforms/historic/zhanqi/CZqOpt.h"
#include "platforms/huya/CHuya.h"

namespace platforms {

namespace {

// What the environment and the settings give every living client.
LivingLinkSettings livingLink(const PlatformHosts& hosts) {
    LivingLinkSettings link;
    link.userAgent = hosts.browserAgent;
    link.trustedCaFile = hosts.testCaFile;
    link.trace = hosts.trace;
    return link;
}

}  // namespace

FeederFactories feederFactories(const PlatformHosts& hosts) {
    FeederFactories f;
    f[0] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        DouyuSettings settings;
        settings.pageHost = hosts.douyuPage;
        settings.chatHost = hosts.douyuChat;
        settings.abort = &closing;
        return std::make_unique<CDouyuTv>(loop, window, std::move(settings));
    };
    f[1] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        PandaSettings settings;
        settings.host = hosts.panda;
        settings.abort = &closing;
        return std::make_unique<CPandaTv>(loop, window, std::move(settings));
    };
    f[2] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        ZhanqiSettings settings;
        settings.host = hosts.zhanqi;
        settings.abort = &closing;
        return std::make_unique<CZqOpt>(loop, window, std::move(settings));
    };
    f[3] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        LongzhuSettings settings;
        settings.pageHost = hosts.longzhuPage;
        settings.chatHost = hosts.longzhuChat;
        settings.abort = &closing;
        return std::make_unique<CLZopt>(loop, window, std::move(settings));
    };
    f[4] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        BilibiliSettings settings;
        settings.apiBase = hosts.bilibiliApi;
        settings.liveApiBase = hosts.bilibiliLiveApi;
        settings.cookieFile = hosts.bilibiliCookieFile;
        settings.abort = &closing;
        settings.link = livingLink(hosts);
        return std::make_unique<CBilibili>(loop, window, std::move(settings));
    };
    f[5] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        DouyuWsSettings settings =
            DouyuWsSettings::withHosts(hosts.douyuApi, hosts.douyuGiftApi, hosts.douyuWebconf, hosts.douyuWs);
        settings.closing = &closing;
        settings.link = livingLink(hosts);
        return std::make_unique<CDouyuWs>(loop, window, std::move(settings));
    };
    f[6] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        HuyaSettings settings;
        settings.pageBase = hosts.huyaPage;
        settings.chatUrl = hosts.huyaWs;
        settings.closing = &closing;
        settings.link = livingLink(hosts);
        return std::make_unique<CHuya>(loop, window, std::move(settings));
    };
    return f;
}

}  // namespace platforms
