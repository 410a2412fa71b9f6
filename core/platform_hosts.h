// Where each platform client connects, and the other settings a client takes
// from outside the program. The application reads them once at start-up (from
// the environment) and hands them to the client factories as a value; no
// client reads the environment itself.
//
// A plain value: copy it freely, read it from any thread.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Each host is "host[:port]"; the defaults are the platforms' historic hosts.
struct PlatformHosts {
    std::string douyuPage = "www.douyu.com";
    std::string douyuChat = "danmu.douyutv.com";
    std::string panda = "www.panda.tv";
    std::string zhanqi = "www.zhanqi.tv";
    std::string longzhuPage = "star.longzhu.com";
    std::string longzhuChat = "mbgo.plu.cn";
    // Base URLs with scheme and optional port.
    std::string bilibiliApi = "https://api.bilibili.com";
    std::string bilibiliLiveApi = "https://api.live.bilibili.com";
    // The host's own Bilibili login (a cookie line), beside the settings; the
    // application sets the path, no variable does.
    std::string bilibiliCookieFile;
    // Today's Douyu: base URLs with their scheme. An empty chat proxy URL
    // keeps the client's own rotation through the proxy's ports.
    std::string douyuApi = "https://www.douyu.com";
    std::string douyuGiftApi = "https://gift.douyucdn.cn";
    std::string douyuWebconf = "https://webconf.douyucdn.cn";
    std::string douyuWs;
    // Huya: the room pages' base URL and the chat WebSocket, with scheme.
    std::string huyaPage = "https://www.huya.com";
    std::string huyaWs = "wss://cdnws.api.huya.com";
    // The living clients' user agent (the settings key 浏览器标识); their
    // built-in browser identity when empty.
    std::string browserAgent;
    // For tests only: a PEM file of CA certificates that the living clients'
    // HTTPS requests and wss:// connections trust (SONARO_TEST_CA_FILE).
    std::string testCaFile;
    // Name the chat commands a living client does not read on standard error
    // (SONARO_TRACE=1).
    bool trace = false;
    // Settings of the platforms added later (cookie files and the like) go
    // here too, each with its own variable in the table below.
};

// An environment variable that overrides one field of PlatformHosts.
struct HostVariable {
    const char* name;
    std::string PlatformHosts::*field;
};

// Every variable, in the order the user guide lists them.
std::span<const HostVariable> hostVariables();

// Sets the field that `variable` names; false, changing nothing, for a name
// that is not in the table or an empty value (which keeps the default).
bool setHost(PlatformHosts& hosts, std::string_view variable, std::string value);
