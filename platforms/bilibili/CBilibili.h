// The Bilibili live client: looks the room up over the web API, joins the
// chat over a WebSocket (TLS unless the live API itself is plain HTTP),
// authenticates, keeps the connection alive with heartbeats and turns chat
// lines, paid messages, gifts and room entries into events for the dialog.
// The connection, its retries and timers are the living machinery's
// (platforms::LivingLink); this client is the codec and the lookup.
//
// Threads: construct and destroy on any thread while the event loop is not
// running; `start` and everything after it run on the event loop's thread,
// except the lookup, which runs on the machinery's worker (see LivingLink).
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/feeder.h"
#include "platforms/bilibili/bilibili_dispatch.h"
#include "platforms/bilibili/bilibili_lookup.h"
#include "platforms/common/living_link.h"

struct BilibiliSettings {
    std::string apiBase = "https://api.bilibili.com";
    std::string liveApiBase = "https://api.live.bilibili.com";
    // The host's browser cookie line, read at every login; none when empty or
    // missing. A secret: never logged, never shown.
    std::string cookieFile;
    std::chrono::milliseconds fetchTimeout{10000};
    // The signature's time stamp; the system clock when empty.
    std::function<std::int64_t()> clock;
    // The API requests; util::fetchPage when empty.
    bilibili::HttpGet get;
    // Raised when the program closes: a page fetch under way ends at once.
    const std::atomic<bool>* abort = nullptr;
    // Told each command name not read, once per connection (SONARO_TRACE).
    bilibili::CommandDispatch::Unread unreadCommand;
    // The machinery's schedule, identity, timers and test seams.
    platforms::LivingLinkSettings link = linkDefaults();

    static platforms::LivingLinkSettings linkDefaults();
};

class CBilibili : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "哔哩哔哩";

    CBilibili(boost::asio::io_context& eventLoop, MessageWindow& window, BilibiliSettings settings = {});
    ~CBilibili() override;

    void start(std::string roomId) override;

  private:
    platforms::LinkPlan lookUp(const std::atomic<bool>& abandon);
    void onOpened();
    void onMessage(const std::string& message);
    bool handleCommand(const std::string& json);
    void onAuthReply(const std::string& body);
    std::string httpGet(const std::string& url, const std::string& cookies) const;
    std::string readCookie() const;

    MessageWindow& window_;
    BilibiliSettings settings_;
    bilibili::CommandDispatch dispatch_;
    // Worker-side during a lookup, loop-side otherwise (see LivingLink).
    bilibili::ChatLookup lookup_;
    std::string roomId_;
    bilibili::ChatAccess access_;
    platforms::LivingLink link_;
};

inline platforms::LivingLinkSettings BilibiliSettings::linkDefaults() {
    platforms::LivingLinkSettings link;
    link.statusPrefix = CBilibili::kStatusPrefix;
    link.origin = "https://live.bilibili.com";
    link.heartbeatInterval = std::chrono::seconds(30);
    // Nothing heard for this long (a heartbeat is answered at once) ends the connection.
    link.silenceLimit = std::chrono::seconds(70);
    // The service drops a connection that has not authenticated within 5 s;
    // the answer may take longer.
    link.loginTimeout = std::chrono::seconds(10);
    return link;
}
