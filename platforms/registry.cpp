#include "platforms/registry.h"

#if SONARO_HAS_DOUYU
#include "platforms/douyu/CDouyuTv.h"
#endif
#if SONARO_HAS_PANDA
#include "platforms/panda/CPandaTv.h"
#endif
#if SONARO_HAS_ZHANQI
#include "platforms/zhanqi/CZqOpt.h"
#endif
#if SONARO_HAS_LONGZHU
#include "platforms/longzhu/CLZopt.h"
#endif
#if SONARO_HAS_BILIBILI
#include "platforms/bilibili/CBilibili.h"
#endif
#if SONARO_HAS_DOUYUWS
#include "platforms/douyuws/CDouyuWs.h"
#endif

namespace platforms {

FeederFactories feederFactories(const PlatformHosts& hosts) {
    FeederFactories f;
#if SONARO_HAS_DOUYU
    f[0] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        DouyuSettings settings;
        settings.pageHost = hosts.douyuPage;
        settings.chatHost = hosts.douyuChat;
        settings.abort = &closing;
        return std::make_unique<CDouyuTv>(loop, window, std::move(settings));
    };
#endif
#if SONARO_HAS_PANDA
    f[1] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        PandaSettings settings;
        settings.host = hosts.panda;
        settings.abort = &closing;
        return std::make_unique<CPandaTv>(loop, window, std::move(settings));
    };
#endif
#if SONARO_HAS_ZHANQI
    f[2] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        ZhanqiSettings settings;
        settings.host = hosts.zhanqi;
        settings.abort = &closing;
        return std::make_unique<CZqOpt>(loop, window, std::move(settings));
    };
#endif
#if SONARO_HAS_LONGZHU
    f[3] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        LongzhuSettings settings;
        settings.pageHost = hosts.longzhuPage;
        settings.chatHost = hosts.longzhuChat;
        settings.abort = &closing;
        return std::make_unique<CLZopt>(loop, window, std::move(settings));
    };
#endif
#if SONARO_HAS_BILIBILI
    f[4] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        BilibiliSettings settings;
        settings.apiBase = hosts.bilibiliApi;
        settings.liveApiBase = hosts.bilibiliLiveApi;
        settings.cookieFile = hosts.bilibiliCookieFile;
        settings.abort = &closing;
        return std::make_unique<CBilibili>(loop, window, std::move(settings));
    };
#endif
#if SONARO_HAS_DOUYUWS
    f[5] = [hosts](boost::asio::io_context& loop, MessageWindow& window, const std::atomic<bool>& closing) {
        DouyuWsSettings settings =
            DouyuWsSettings::withHosts(hosts.douyuApi, hosts.douyuGiftApi, hosts.douyuWebconf, hosts.douyuWs);
        settings.closing = &closing;
        return std::make_unique<CDouyuWs>(loop, window, std::move(settings));
    };
#endif
    return f;
}

}  // namespace platforms
