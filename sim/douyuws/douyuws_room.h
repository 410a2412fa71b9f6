// A simulated room of today's Douyu on loopback: the web host with the betard
// document, the room's gift list (the v3 and the v2 path) and the prop list
// over HTTP, and the chat proxy over WebSocket. The proxy packs its frames as
// the real one may: a burst of frames goes out in one message, and the last
// frame of every burst is cut in two, its second half in a message of its own.
// Besides the script it can send any texts right after the join (paid lines,
// other rooms' traffic, gifts that carry their names), built with the text
// makers below, which share nothing with the client.
//
// Threads: construct and destroy on one thread; switches and observations from
// any thread; the servers run on threads of their own.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/room_support.h"
#include "sim/web_chat_room.h"

namespace sim {

struct DouyuWsRoomOptions {
    std::string roomNumber = "520";  // the short number a host types
    std::string roomId = "288016";   // what betard resolves it to
    // Gift id and name, UTF-8: the room's own list, then the site-wide props.
    std::vector<std::pair<std::string, std::string>> gifts = {
        {"20003", "飞机"}, {"192", "赞"}, {"20004", "火箭"}};
    std::vector<std::pair<std::string, std::string>> props = {{"824", "荧光棒"}};
};

// Switches for the chat proxy, effective for the next connection.
struct DouyuWsFaults {
    bool refuseLogin = false;  // answer the login with an error and say nothing more
    bool silent = false;       // accept the login, then never send anything again
};

enum class DouyuWsPageFault { None, NotFound, NotJson };

// How one web list answers: as it should, with an HTTP failure (502 and a
// page of HTML), or with JSON whose `error` is not 0.
enum class DouyuWsListFault { None, HttpError, ErrorCode };
struct DouyuWsListFaults {
    DouyuWsListFault v3 = DouyuWsListFault::None;
    DouyuWsListFault v2 = DouyuWsListFault::None;
    DouyuWsListFault props = DouyuWsListFault::None;
};

// Texts as the proxy sends them, UTF-8, before framing. An empty `rid` leaves
// the room out of the message.
std::string douyuWsChatText(const std::string& rid, const std::string& nn, const std::string& txt);
// A paid ("high-energy") line: the sender's record, escaped once more, in `chatmsg`.
std::string douyuWsPaidText(const std::string& rid, const std::string& nn, const std::string& txt);
// A gift; an empty `gfn` leaves the gift's own name out.
std::string douyuWsGiftText(const std::string& rid, const std::string& nn, const std::string& gfid, int count,
                            const std::string& gfn);

class DouyuWsRoom : public WebChatRoom {
  public:
    explicit DouyuWsRoom(RoomScript script, DouyuWsRoomOptions options = {});
    ~DouyuWsRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    // SONARO_DOUYU_API, SONARO_DOUYU_GIFT_API, SONARO_DOUYU_WEBCONF (all the
    // one web server) and SONARO_DOUYU_WS.
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;

    void setFaults(const DouyuWsFaults& faults) { faults_.set(faults); }
    void setPageFault(DouyuWsPageFault fault) { pageFault_ = fault; }
    void setListFaults(const DouyuWsListFaults& faults) { listFaults_.set(faults); }
    // Whole frames (bytes) sent in one burst right after each join, before
    // the script.
    void setOpeningFrames(std::vector<std::string> frames) { openingFrames_.set(std::move(frames)); }

    // Observations.
    const DouyuWsRoomOptions& options() const { return options_; }
    int betardRequests() const { return betardRequests_.load(); }
    int giftListRequests(int version) const { return (version == 3 ? v3Requests_ : v2Requests_).load(); }
    int propListRequests() const { return propListRequests_.load(); }
    // Texts the clients sent, without their NUL.
    std::vector<std::string> logins() const { return logins_.get(); }
    std::vector<std::string> joins() const { return joins_.get(); }
    std::vector<std::chrono::steady_clock::time_point> keepAlives() const { return keepAlives_.get(); }

  private:
    HttpResponse answerWeb(const HttpRequest& request);
    void serveChat(WebSocketPeer& peer);
    bool readClientText(WebSocketPeer& peer, std::string& text, std::string& pending);
    bool playScript(WebSocketPeer& peer);
    std::string scriptFrameText(const ScriptEvent& event, int serial) const;
    std::string giftIdOf(const std::string& name) const;
    std::string giftListAnswer(int version);
    std::string propListAnswer();

    RoomScript script_;
    DouyuWsRoomOptions options_;
    std::atomic<DouyuWsPageFault> pageFault_{DouyuWsPageFault::None};
    std::atomic<int> betardRequests_{0};
    std::atomic<int> v3Requests_{0};
    std::atomic<int> v2Requests_{0};
    std::atomic<int> propListRequests_{0};
    Guarded<DouyuWsFaults> faults_;
    Guarded<DouyuWsListFaults> listFaults_;
    Guarded<std::vector<std::string>> openingFrames_;
    Guarded<std::vector<std::string>> logins_;
    Guarded<std::vector<std::string>> joins_;
    Guarded<std::vector<std::chrono::steady_clock::time_point>> keepAlives_;
};

std::unique_ptr<SimulatedRoom> makeDouyuWsRoom(const RoomScript& script);

// The messages the proxy sends for a burst of frames: all of them in one
// message, except the second half of the last frame, which follows alone.
std::vector<std::string> douyuWsPack(const std::vector<std::string>& frames);

}  // namespace sim
