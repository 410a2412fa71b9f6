// The Bilibili live client: looks the room up over the web API, joins the
// chat over a WebSocket (TLS unless the live API itself is plain HTTP),
// authenticates, keeps the connection alive with heartbeats and turns chat
// lines, paid messages, gifts and room entries into events for the dialog.
// Every failure leads to a status text and a restart, for as long as the
// process runs; the chat servers are taken in turn.
//
// Threads: construct and destroy on any thread while the event loop is not
// running; `start` and everything after it run on the event loop's thread.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/feeder.h"
#include "platforms/bilibili/bilibili_dispatch.h"
#include "platforms/bilibili/bilibili_lookup.h"
#include "platforms/common/websocket_connection.h"

struct BilibiliSettings {
    std::string apiBase = "https://api.bilibili.com";
    std::string liveApiBase = "https://api.live.bilibili.com";
    // The host's browser cookie line, read at every login; none when empty or
    // missing. A secret: never logged, never shown.
    std::string cookieFile;
    std::chrono::milliseconds restartDelay{3000};
    std::chrono::milliseconds missingRoomDelay{30000};
    std::chrono::milliseconds heartbeatInterval{30000};
    // The service drops a connection that has not authenticated within 5 s;
    // the answer may take longer.
    std::chrono::milliseconds authTimeout{10000};
    std::chrono::milliseconds fetchTimeout{10000};
    // The signature's time stamp; the system clock when empty.
    std::function<std::int64_t()> clock;
    // The API requests; util::fetchPage when empty.
    bilibili::HttpGet get;
    // Raised when the program closes: a page fetch under way ends at once.
    const std::atomic<bool>* abort = nullptr;
    // Told each command name not read, once per connection (SONARO_TRACE).
    bilibili::CommandDispatch::Unread unreadCommand;
};

class CBilibili : public msgfeeder {
  public:
    CBilibili(boost::asio::io_context& eventLoop, MessageWindow& window, BilibiliSettings settings = {});
    ~CBilibili() override;

    void start(std::string roomId) override;

  private:
    void connectTo(std::size_t index);
    void onOpened();
    void onMessage(const std::string& message);
    void onFailed(platforms::WebSocketConnection::Stage stage);
    bool handleCommand(const std::string& json);
    void onAuthReply(const std::string& body);
    void armTimer(std::chrono::milliseconds after, void (CBilibili::*expired)());
    void onHeartbeatDue();
    void onAuthTimeout();
    void sendHeartbeat();
    void scheduleReconnect(std::chrono::milliseconds delay);
    void reportStatus(const char* utf8Text, const std::string& suffix = {});
    std::string readCookie() const;

    MessageWindow& window_;
    BilibiliSettings settings_;
    bilibili::CommandDispatch dispatch_;
    bilibili::ChatLookup lookup_;
    std::string roomId_;
    bilibili::ChatAccess access_;
    std::size_t hostIndex_ = 0;
    // A restart begins with the server after the last one tried.
    std::size_t nextHost_ = 0;
    std::size_t attempts_ = 0;  // servers tried since the last lookup
    bool authenticated_ = false;
    bool awaitingHeartbeatReply_ = false;
    bool reconnectPending_ = false;
    boost::asio::steady_timer timer_;
    boost::asio::steady_timer reconnectTimer_;
    platforms::WebSocketConnection link_;
};
