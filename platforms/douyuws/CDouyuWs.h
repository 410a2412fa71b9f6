// Today's Douyu chat: the room's real id from its betard document, the gift
// names from the room's and the site's lists, then a WebSocket to the chat
// proxy carrying the same 12-byte frames and serialised texts as the 2016
// servers did. Chat lines, room entries and gifts go to the dialog; any
// failure becomes a status text and a restart from the room lookup.
//
// Threads: construct and destroy on any one thread while the event loop is not
// running the client's handlers (before the network thread starts, after it
// ended). `start` and every other operation run on the network thread.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/feeder.h"
#include "platforms/common/websocket_connection.h"
#include "platforms/douyuws/douyuws_lookup.h"
#include "platforms/douyuws/frame_reader.h"

struct DouyuWsSettings {
    // Base URLs with their scheme, without a trailing path.
    std::string apiBase = "https://www.douyu.com";            // /betard/<room>
    std::string giftBase = "https://gift.douyucdn.cn";        // the room's gift list
    std::string webconfBase = "https://webconf.douyucdn.cn";  // the prop list
    // The chat proxies, tried in turn: a failed connect moves on to the next,
    // a failed pass waits and starts over from the room lookup.
    std::vector<std::string> chatUrls = defaultChatUrls();

    std::chrono::milliseconds reconnectDelay{3000};
    std::chrono::milliseconds keepAliveInterval{45000};
    // Nothing at all from the proxy for this long, keep-alive answers
    // included, and the connection counts as dead.
    std::chrono::milliseconds silenceLimit{100000};
    std::chrono::milliseconds fetchTimeout{10000};
    // Raised when the program closes, so that no page fetch holds it up.
    const std::atomic<bool>* closing = nullptr;

    // wss://danmuproxy.douyu.com:8506/, then the ports 8501 to 8505.
    static std::vector<std::string> defaultChatUrls();
    // The settings with one chat URL in place of the rotation; an empty
    // `chatUrl` keeps the rotation.
    static DouyuWsSettings withHosts(std::string apiBase, std::string giftBase, std::string webconfBase,
                                     const std::string& chatUrl);
};

class CDouyuWs : public msgfeeder {
  public:
    CDouyuWs(boost::asio::io_context& eventLoop, MessageWindow& window, DouyuWsSettings settings = {});
    ~CDouyuWs() override;

    CDouyuWs(const CDouyuWs&) = delete;
    CDouyuWs& operator=(const CDouyuWs&) = delete;

    void start(std::string roomId) override;

    // The room id the last lookup settled on (the typed number when betard
    // gave none); for tests and diagnostics.
    const std::string& roomId() const { return roomId_; }

  private:
    void reportStatus(const char* utf8Text, const std::string& suffix = {});
    void reportJoinFailure(const char* utf8Text, const char* utf8TextForTypedNumber);
    std::string fetch(const std::string& url) const;
    bool resolveRoom();
    void loadGiftNames();
    void connectChat();
    void onOpened();
    void onMessage(std::string message);
    void onFailed(platforms::WebSocketConnection::Stage stage);
    void handleText(std::string_view text);
    void sendText(std::string_view text);
    void armSilence();
    void armKeepAlive();
    void scheduleReconnect();
    void closeChat();

    DouyuWsSettings settings_;
    boost::asio::io_context& eventLoop_;
    MessageWindow& window_;
    std::string typedRoom_;
    std::string roomId_;
    bool roomIdGuessed_ = false;  // betard gave nothing: the typed number stands in
    douyuws::GiftNames roomGifts_;
    std::string roomGiftsOf_;  // the room whose list `roomGifts_` is
    douyuws::GiftNames props_;
    bool propsLoaded_ = false;
    std::size_t urlIndex_ = 0;
    std::size_t passStart_ = 0;
    bool opened_ = false;
    bool joined_ = false;
    bool reconnectPending_ = false;
    unsigned silenceArm_ = 0;
    unsigned keepAliveArm_ = 0;
    douyuws::FrameReader reader_;
    platforms::WebSocketConnection chat_;
    boost::asio::steady_timer silenceTimer_;
    boost::asio::steady_timer keepAliveTimer_;
    boost::asio::steady_timer reconnectTimer_;
};
