// The Douyu client: looks the room up on its web page, logs in anonymously to
// one of the room's authentication servers, then to the chat server, joins the
// room's group and turns chat lines, room entries and gifts into events for the
// dialog. Any failure becomes a status text and a restart from the room page.
//
// Threads: construct and destroy on any one thread while the event loop is not
// running the client's handlers (before the network thread starts, after it
// ended). `start` and every other operation run on the network thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/feeder.h"
#include "platforms/common/host_resolver.h"
#include "platforms/historic/common/restart_timer.h"
#include "platforms/historic/common/server_walk.h"
#include "platforms/historic/douyu/douyu_link.h"
#include "platforms/historic/douyu/douyu_messages.h"

// Where the client connects and how it paces itself. The defaults are the
// production values.
struct DouyuSettings {
    // "host[:port]" of the room pages; the URL is this, "/" and the room number.
    std::string pageHost = "www.douyu.com";
    // "host[:port]" of the chat server. A port given here replaces the one the
    // authentication server names.
    std::string chatHost = "danmu.douyutv.com";

    std::chrono::milliseconds loginPause{100};       // around the logins, before a restart
    std::chrono::milliseconds reconnectDelay{3000};  // from a failure to the restart
    std::chrono::milliseconds firstKeepAlive{1000};  // from a login to its first keep-alive
    std::chrono::milliseconds keepAliveInterval{10000};
    std::chrono::milliseconds fetchTimeout{10000};

    // Seconds since 1970 (UTC) now; rt is derived from it through the local zone.
    std::function<std::int64_t()> utcNow;
    // The server choices; the C library's unseeded generator by default.
    std::function<int()> random;
    // Raised when the program closes; ends a fetch or pause under way.
    const std::atomic<bool>* abort = nullptr;

    // The chat server's name lookup; it runs off the network thread.
    platforms::HostResolver::Lookup lookup = platforms::HostResolver::systemLookup;
};

class CDouyuTv : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "斗鱼";

    CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window);
    CDouyuTv(boost::asio::io_context& eventLoop, MessageWindow& window, DouyuSettings settings);
    ~CDouyuTv() override;

    CDouyuTv(const CDouyuTv&) = delete;
    CDouyuTv& operator=(const CDouyuTv&) = delete;

    void start(std::string roomId) override;

    // One received text: a chat server's login answer joins the group; chat
    // lines, room entries and gifts go to the dialog; the rest is dropped.
    void dispatchMessage(std::string_view text);

  private:
    void reportStatus(const char* utf8Text, const std::string& suffix = {});
    bool lookupRoom();
    void onAuthConnected();
    void readAuth();
    void handleAuthText(std::string_view text);
    void chooseChatPort(std::string_view text);
    void beginChat();
    void onChatConnected();
    void readChat();
    void joinGroup();
    void armKeepAlive(platforms::KeepAliveTimer& keepAlive, douyu::DouyuLink& link,
                      std::string (CDouyuTv::*text)() const);
    std::string authKeepAliveText() const;
    std::string chatKeepAliveText() const;
    void scheduleReconnect();
    void closeConnections();
    void pause(std::chrono::milliseconds duration);
    std::int64_t localSecondsNow() const;

    DouyuSettings settings_;
    std::string roomNumber_;
    std::string roomId_;
    std::string chatPort_;
    std::string groupId_ = "0";
    std::vector<douyu::ServerEntry> servers_;
    std::string userName_;
    douyu::DouyuLink auth_;
    douyu::DouyuLink chat_;
    platforms::KeepAliveTimer authKeepAlive_;
    platforms::KeepAliveTimer chatKeepAlive_;
    MessageWindow& window_;
    platforms::RestartTimer restart_;
    platforms::HostResolver resolver_;
    platforms::ServerWalk walk_;
};
