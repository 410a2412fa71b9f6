// Today's Douyu chat: the room's real id from its betard document, the gift
// names from the room's and the site's lists, then a WebSocket to the chat
// proxy carrying the same 12-byte frames and serialised texts as the 2016
// servers did. Chat lines, room entries and gifts go to the dialog. The
// connection, its retries and timers are the living machinery's
// (platforms::LivingLink); this client is the codec and the lookup.
//
// Threads: construct and destroy on any one thread while the event loop is not
// running the client's handlers (before the network thread starts, after it
// ended). `start` and every other operation run on the network thread, except
// the lookup (room id and gift lists), which runs on the machinery's worker
// while no connection exists (see LivingLink).
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/feeder.h"
#include "platforms/common/living_link.h"
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

    std::chrono::milliseconds fetchTimeout{10000};
    // Raised when the program closes, so that no page fetch holds it up.
    const std::atomic<bool>* closing = nullptr;
    // The machinery's schedule, identity, timers and test seams.
    platforms::LivingLinkSettings link = linkDefaults();

    // wss://danmuproxy.douyu.com:8506/, then the ports 8501 to 8505.
    static std::vector<std::string> defaultChatUrls();
    static platforms::LivingLinkSettings linkDefaults();
    // The settings with one chat URL in place of the rotation; an empty
    // `chatUrl` keeps the rotation.
    static DouyuWsSettings withHosts(std::string apiBase, std::string giftBase, std::string webconfBase,
                                     const std::string& chatUrl);
};

class CDouyuWs : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "斗鱼";

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
    std::string fetch(const std::string& url) const;
    platforms::LinkPlan lookUp();
    bool resolveRoom();
    void loadGiftNames();
    void onOpened();
    void onMessage(std::string message);
    void handleText(std::string_view text);
    void refuse(const std::string& code);
    void sendText(std::string_view text);
    void armKeepAlive();
    void closeChat();

    DouyuWsSettings settings_;
    MessageWindow& window_;
    std::string typedRoom_;
    std::string roomId_;
    bool roomIdGuessed_ = false;  // betard gave nothing: the typed number stands in
    douyuws::GiftNames roomGifts_;
    std::string roomGiftsOf_;  // the room whose list `roomGifts_` is
    douyuws::GiftNames props_;
    bool propsLoaded_ = false;
    bool joined_ = false;  // loginres came on this connection
    douyuws::FrameReader reader_;
    platforms::LivingLink link_;
};

inline platforms::LivingLinkSettings DouyuWsSettings::linkDefaults() {
    platforms::LivingLinkSettings link;
    link.statusPrefix = CDouyuWs::kStatusPrefix;
    link.origin = "https://www.douyu.com";
    link.heartbeatInterval = std::chrono::seconds(45);  // the keep-alive
    link.heartbeatAtLogin = false;
    // Nothing at all from the proxy for this long, keep-alive answers
    // included, and the connection counts as dead.
    link.silenceLimit = std::chrono::seconds(100);
    link.loginTimeout = std::chrono::seconds(10);  // from the open connection to `loginres`
    return link;
}
