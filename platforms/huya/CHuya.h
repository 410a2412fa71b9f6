// Huya's web chat: the room's ids from its page, then a WebSocket carrying
// TARS-encoded commands. The client registers for the room's pushes and
// reads chat lines, gifts in this room and noble and VIP entries. The
// connection, its retries, heartbeat and silence timer are the living
// machinery's (platforms::LivingLink); this client is the codec and the lookup.
//
// Threads: construct and destroy on any one thread while the event loop is not
// running the client's handlers (before the network thread starts, after it
// ended). `start` and every other operation run on the network thread, except
// the page lookup, which runs on the machinery's worker while no connection
// exists (see LivingLink).
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <chrono>
#include <string>

#include "core/feeder.h"
#include "platforms/common/living_link.h"
#include "platforms/huya/huya_messages.h"

struct HuyaSettings {
    // Base URLs with their scheme.
    std::string pageBase = "https://www.huya.com";
    std::string chatUrl = "wss://cdnws.api.huya.com";

    std::chrono::milliseconds fetchTimeout{10000};
    // Raised when the program closes, so that no page fetch holds it up.
    const std::atomic<bool>* closing = nullptr;
    // The machinery's schedule, identity, timers and test seams.
    platforms::LivingLinkSettings link = linkDefaults();

    static platforms::LivingLinkSettings linkDefaults();
};

class CHuya : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "虎牙";

    CHuya(boost::asio::io_context& eventLoop, MessageWindow& window, HuyaSettings settings = {});
    ~CHuya() override;

    CHuya(const CHuya&) = delete;
    CHuya& operator=(const CHuya&) = delete;

    void start(std::string roomId) override;

  private:
    platforms::LinkPlan lookUp();
    void onOpened();
    void onMessage(const std::string& message);
    void deliver(huya::Event& event);

    HuyaSettings settings_;
    MessageWindow& window_;
    std::string typedRoom_;
    huya::RoomIds ids_;    // written by the lookup, read once connected
    bool joined_ = false;  // the server answered on this connection
    platforms::LivingLink link_;
};

inline platforms::LivingLinkSettings HuyaSettings::linkDefaults() {
    platforms::LivingLinkSettings link;
    link.statusPrefix = CHuya::kStatusPrefix;
    link.origin = "https://www.huya.com";
    link.heartbeatInterval = std::chrono::seconds(60);
    link.heartbeatAtLogin = false;  // one goes out with the registration
    // Nothing from the server for this long, heartbeat answers included, and
    // the connection counts as lost: two heartbeats unanswered.
    link.silenceLimit = std::chrono::seconds(120);
    link.loginTimeout = std::chrono::seconds(10);  // from the open connection to the first answer
    return link;
}
