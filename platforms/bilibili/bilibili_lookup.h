// Everything the client asks the web API before it connects: the real room
// id, a visitor id, the signature keys and the signed chat-server lookup. The
// keys, the visitor id and the user id are kept between lookups; the keys
// are fetched again once when a signed request is turned down, and not again
// while the refusals go on (fresh keys did not help: it is risk control, and
// every extra request only prolongs it).
//
// Threads: one thread at a time (the client's lookup worker). Every call
// blocks for its HTTP requests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platforms/bilibili/bilibili_api.h"

namespace bilibili {

// A blocking GET of `url` sending `cookies` as the Cookie header; the body, or
// an empty text on any failure.
using HttpGet = std::function<std::string(const std::string& url, const std::string& cookies)>;

struct ChatAccess {
    enum Status { Ready, NoSuchRoom, Failed, RiskControl };
    Status status = Failed;
    std::int64_t roomId = 0;  // the real id
    std::int64_t uid = 0;     // 0 for a visitor
    std::string buvid;
    std::string token;
    std::vector<ChatHost> hosts;
    bool keysRefreshed = false;  // a refused signature made it fetch the keys again
    long long refusalCode = 0;   // RiskControl: the service's code
    // The cookies every request sent (the host's line and the visitor id).
    std::string cookies;
    // Whether the nav answer took the host's cookie for a login.
    bool loggedIn = false;
};

class ChatLookup {
  public:
    // `apiBase` and `liveApiBase`: scheme, host and optional port, no slash
    // at the end. `clock` gives the signature's time stamp (seconds).
    ChatLookup(std::string apiBase, std::string liveApiBase, HttpGet get,
               std::function<std::int64_t()> clock);

    // `cookieLine` is the host's own cookie (may be empty). Never logged.
    ChatAccess lookup(std::int64_t typedRoom, const std::string& cookieLine);

  private:
    bool fetchKeys(const std::string& cookies);
    std::string cookiesFor(const std::string& cookieLine);

    std::string apiBase_;
    std::string liveApiBase_;
    HttpGet get_;
    std::function<std::int64_t()> clock_;
    std::string mixin_;
    std::int64_t uid_ = 0;
    bool loggedIn_ = false;
    bool refusedAfterRefresh_ = false;  // the last lookup's key refresh did not help
    std::string keysCookie_;            // the cookie the keys (and uid) were fetched with
    std::string buvid_;
};

}  // namespace bilibili
