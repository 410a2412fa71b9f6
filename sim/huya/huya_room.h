// A simulated Huya room on loopback: the room page over HTTP (its ids in one
// of the forms today's pages use) and the chat WebSocket speaking TARS. After
// a registration the server plays the script: chat lines as single pushes,
// gifts and entries as pushes of several items, each gift followed by a gift
// in another room broadcast to the whole platform (uri 6502), which a client
// must not read. It answers heartbeats.
//
// The TARS encoding here is written apart from the client's, so that a fault
// in one is not mirrored by the other.
//
// Threads: construct and destroy on one thread; switches and observations from
// any thread; the servers run on threads of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/room_support.h"
#include "sim/web_chat_room.h"

namespace sim {

// How the page names the room's ids.
enum class HuyaPageForm {
    PlayerConfig,  // "lYyid", "lChannelId", "lSubChannelId", "lPresenterUid" in the player's config
    RoomData,      // var TT_ROOM_DATA = {"id": ...} beside the yyid and channel
    ProfileLp,     // the presenter only as "lp" in the profile
    ProfileInfo,   // "tProfileInfo": {"lUid": ...}
};

struct HuyaRoomOptions {
    std::string roomNumber = "660000";
    std::string roomName = "xiaoming";  // the same room under its name
    std::int64_t yyid = 1199512340001;
    std::int64_t channelId = 1199512340002;
    std::int64_t subChannelId = 1199512340003;
    std::int64_t presenterUid = 1199512340004;
    HuyaPageForm pageForm = HuyaPageForm::PlayerConfig;
};

enum class HuyaPageFault { None, NotFound, NoRoom };

// Switches for the chat server, effective for the next connection.
struct HuyaFaults {
    bool silent = false;   // answer the registration and play the script, then no heartbeat
    bool garbage = false;  // send a broken message before every push
};

class HuyaRoom : public WebChatRoom {
  public:
    explicit HuyaRoom(RoomScript script, HuyaRoomOptions options = {});
    ~HuyaRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    // SONARO_HUYA_PAGE and SONARO_HUYA_WS.
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;
    std::string pageBase() const { return webBase(); }

    void setFaults(const HuyaFaults& faults) { faults_.set(faults); }
    void setPageFault(HuyaPageFault fault) { pageFault_ = fault; }

    // Observations.
    const HuyaRoomOptions& options() const { return options_; }
    int pageRequests() const { return pageRequests_.load(); }
    // The command types of the registrations the clients sent (1 or 16),
    // those that named this room's ids.
    std::vector<int> registrations() const { return registrations_.get(); }
    int heartbeats() const { return heartbeats_.load(); }

  private:
    HttpResponse answerPage(const HttpRequest& request) const;
    void serveChat(WebSocketPeer& peer);
    bool playScript(WebSocketPeer& peer, bool garbage);

    RoomScript script_;
    HuyaRoomOptions options_;
    std::atomic<HuyaPageFault> pageFault_{HuyaPageFault::None};
    mutable std::atomic<int> pageRequests_{0};
    std::atomic<int> heartbeats_{0};
    Guarded<HuyaFaults> faults_;
    Guarded<std::vector<int>> registrations_;
};

std::unique_ptr<SimulatedRoom> makeHuyaRoom(const RoomScript& script);

}  // namespace sim
