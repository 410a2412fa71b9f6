// A simulated Douyu room on loopback: the room page over HTTP, one or more
// authentication servers and a chat server over TCP, all on ports the OS
// picks. A client that follows the page logs in to an authentication server,
// learns its user name, the chat server's port and the group, logs in to the
// chat server, joins the group and then hears the script.
//
// The pattern for every simulated platform: a plain options struct fixed at
// construction, fault switches that may be flipped while clients are
// connected, and counters and recorded requests that tests wait on.
//
// Threads: construct and destroy on one thread; switches and observations from
// any thread; the servers run on threads of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/historic/douyu/douyu_wire.h"
#include "sim/http_server.h"
#include "sim/room.h"
#include "sim/room_support.h"
#include "sim/tcp_server.h"

namespace sim {

struct DouyuRoomOptions {
    std::string roomNumber = "9999";
    std::string roomId = "288016";
    std::string userName = "visitor8812";
    std::string groupId = "1";
    bool sendGroup = true;  // whether the authentication servers name a group
    int authServers = 1;
    // Positions in the page's list whose servers are dead: nothing listens there.
    std::vector<int> deadAuthServers;
    // Called on a chat connection's thread right after each script frame was
    // written, with the frame's number on that connection (from 1) and the
    // bytes the client has not read yet: the benchmarks time deliveries and
    // see backlogs with it. Keep it short; it paces the script.
    std::function<void(int serial, std::size_t unsentBytes)> onScriptFrame;
};

enum class DouyuServer { Auth, Chat };

struct DouyuFaults {
    bool refuse = false;       // accept and close at once
    int closeAfterFrames = 0;  // close after sending this many frames (0: never)
    // Instead of the first answer to a login:
    bool oversizedHeader = false;  // a header announcing more than 32,768 body bytes
    bool shortBody = false;        // a header announcing more body than is sent, then close
};

enum class DouyuPageFault { None, EmptyBody, NoRoomId };

class DouyuRoom : public SimulatedRoom {
  public:
    explicit DouyuRoom(RoomScript script, DouyuRoomOptions options = {});
    ~DouyuRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    // SONARO_DOUYU_HOST (the page) and SONARO_DOUYU_CHAT_HOST (the chat server).
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;

    // Fault switches, effective for the next connection or request.
    void setFaults(DouyuServer server, const DouyuFaults& faults);
    void setPageFault(DouyuPageFault fault) { pageFault_ = fault; }
    // Drops every open chat connection now (the client sees a read failure).
    void dropChatConnections() { chat_->dropConnections(); }
    void dropAuthConnections();

    // Observations.
    const DouyuRoomOptions& options() const { return options_; }
    std::vector<std::uint16_t> authPorts() const { return authPorts_; }
    std::uint16_t chatPort() const { return chat_->port(); }
    int pageRequests() const { return page_->requests(); }
    int authConnections(int position) const;  // accepted by the server at that page position
    int openConnections(DouyuServer server) const;
    int keepAlives(DouyuServer server) const;
    // Texts the clients sent: authentication logins, chat logins, group joins.
    std::vector<std::string> authLogins() const;
    std::vector<std::string> chatLogins() const;
    std::vector<std::string> joins() const;
    // Everything the clients did, in order of arrival: "auth<position> connected"
    // or "chat connected" for each accepted connection, "<server>: <text>" for
    // each frame read (the text after the header, as sent).
    std::vector<std::string> heard() const { return heard_.get(); }

    // The page's text as served without faults.
    std::string pageBody() const;

  private:
    void serveAuth(Connection& connection, const std::string& who);
    void serveChat(Connection& connection);
    bool readFrame(Connection& connection, const std::string& who, std::string& text);
    void hear(std::string line) { heard_.append(std::move(line)); }
    bool awaitLogin(Connection& connection, const std::string& who, std::vector<std::string>& logins);
    void countKeepAlives(Connection& connection, const std::string& who, std::atomic<int>& keepAlives);
    bool applyFrameFault(Connection& connection, DouyuServer server);
    DouyuFaults faults(DouyuServer server) const;
    std::string msgRepeaterList() const;

    RoomScript script_;
    DouyuRoomOptions options_;
    std::atomic<DouyuPageFault> pageFault_{DouyuPageFault::None};
    std::atomic<int> authKeepAlives_{0};
    std::atomic<int> chatKeepAlives_{0};
    mutable std::mutex mutex_;
    DouyuFaults authFaults_;
    DouyuFaults chatFaults_;
    std::vector<std::string> authLogins_;
    std::vector<std::string> chatLogins_;
    std::vector<std::string> joins_;
    Guarded<std::vector<std::string>> heard_;

    // Servers last: their threads use everything above.
    std::vector<std::uint16_t> authPorts_;  // page order, dead ones included
    std::vector<int> authServerAt_;         // page position to index in auth_, -1 when dead
    std::vector<std::unique_ptr<TcpServer>> auth_;
    std::unique_ptr<TcpServer> chat_;
    std::unique_ptr<HttpServer> page_;
};

std::unique_ptr<SimulatedRoom> makeDouyuRoom(const RoomScript& script);

}  // namespace sim
