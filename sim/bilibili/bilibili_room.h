// A simulated Bilibili live room: the web API (room lookup, visitor id,
// signature keys, the signed chat-server lookup, which checks the signature)
// over HTTP (or HTTPS), and chat servers over ws:// and wss://, on distinct
// ports as the service lists them, that take the
// authentication, answer heartbeats and play the script as plain, zlib and
// brotli packets, room entries in both their JSON and protobuf forms. To a
// visitor it can mask names and say so, as the service does, and after the
// script it sends whatever further commands a test gives it (follows, likes,
// hostile ones). Switches inject the faults a client must survive. It shares
// no code with the client: its wire is its own (bilibili_wire.h).
//
// Threads: construct, configure, query and destroy from one thread; the
// servers run on threads of their own (the switches may change while they run).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/http_server.h"
#include "sim/https_server.h"
#include "sim/room.h"
#include "sim/room_support.h"
#include "sim/websocket_server.h"

namespace sim {

struct BilibiliRoomOptions {
    std::string roomNumber = "1017";  // the short id a host types
    std::int64_t realRoomId = 5440017;
    int chatServers = 1;
    // Servers listed ahead of the room's own that refuse every connection.
    int deadServersFirst = 0;
    // The chat servers' host name in the list; "localhost" has more than one
    // address on most machines, and the client must try them all.
    std::string chatHost = "localhost";
    // To a visitor (an authentication with uid 0): every name as its first
    // character and "***", and a LOG_IN_NOTICE right after the login.
    bool maskNamesForVisitors = false;
    // Commands (JSON) sent after the script, together in one zlib bundle.
    std::vector<std::string> afterScript{};
    // When set, the API is served over HTTPS with this identity (apiBase()
    // is https://) and the wss:// chat servers present it; otherwise they
    // present one of their own, which no client trusts.
    std::optional<TlsIdentity> tls{};
};

class BilibiliRoom : public SimulatedRoom {
  public:
    enum class Fault {
        None,
        StaleKeysFirst,     // the first nav answer carries yesterday's keys: the first signature is refused
        RefuseSignatures,   // every signature is refused
        MalformedPacket,    // after the script, a packet whose length runs past its message
        DropAfterScript,    // the first connection is dropped after the script
        NoHeartbeatAnswer,  // heartbeats go unanswered and the script is the last thing sent
        RefuseAuth,         // the authentication is answered with a non-zero code
    };

    explicit BilibiliRoom(const RoomScript& script, BilibiliRoomOptions options = {});
    ~BilibiliRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;
    std::string apiBase() const;

    void setFault(Fault fault) { fault_ = fault; }

    int navRequests() const { return navRequests_.load(); }
    int roomLookups() const { return roomLookups_.load(); }
    int refusedSignatures() const { return refusedSignatures_.load(); }
    int logins() const { return logins_.load(); }
    int heartbeats() const { return heartbeats_.load(); }
    std::string lastAuthBody() const { return lastAuthBody_.get(); }
    std::string lastRoomLookup() const { return lastRoomLookup_.get(); }
    // The cookie header of every API request, in order.
    std::vector<std::string> cookies() const { return cookies_.get(); }

    // Commands as the service sends them, for afterScript.
    static std::string interactCommand(const std::string& name, int msgType, bool protobuf);
    static std::string likeCommand(int uid, const std::string& name);
    static std::string loginNoticeCommand();
    // `cmd` with an "info" array of zeros filling `bytes`.
    static std::string wideCommand(const std::string& cmd, std::size_t bytes);

    static constexpr const char* kToken = "sim-token-5440017";
    static constexpr const char* kBuvid = "SIM-BUVID-0000-infoc";
    static constexpr std::int64_t kLoggedInMid = 4242;

  private:
    HttpResponse answer(const HttpRequest& request);
    HttpResponse danmuInfo(const std::string& query);
    void serveChat(WebSocketPeer& peer);
    bool playScript(WebSocketPeer& peer, bool masked);

    RoomScript script_;
    BilibiliRoomOptions options_;
    std::atomic<Fault> fault_{Fault::None};
    std::atomic<int> navRequests_{0};
    std::atomic<int> roomLookups_{0};
    std::atomic<int> refusedSignatures_{0};
    std::atomic<int> logins_{0};
    std::atomic<int> heartbeats_{0};
    std::atomic<int> connections_{0};
    Guarded<std::string> lastAuthBody_;
    Guarded<std::string> lastRoomLookup_;
    Guarded<std::vector<std::string>> cookies_;
    std::vector<int> deadPorts_;
    // Last: their threads use the members above.
    std::vector<std::unique_ptr<WebSocketServer>> chatServers_;
    std::vector<std::unique_ptr<WebSocketServer>> secureChatServers_;
    std::unique_ptr<HttpServer> web_;
    std::unique_ptr<HttpsServer> secureWeb_;
};

std::unique_ptr<SimulatedRoom> makeBilibiliRoom(const RoomScript& script);

}  // namespace sim
