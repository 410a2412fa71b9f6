// A simulated Panda room: the chat-info service over HTTP and one or more
// chat servers over TCP that accept the login, answer it, play the script as
// message batches and count the heartbeats. Switches inject the faults a
// client must survive.
//
// Threads: construct, configure, query and destroy from one thread; the
// servers run on threads of their own (the switches may change while they run).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/http_server.h"
#include "sim/room.h"
#include "sim/room_support.h"
#include "sim/tcp_server.h"

namespace sim {

struct PandaRoomOptions {
    std::string roomNumber = "10010";
    int chatServers = 1;
    // "address:port" items listed ahead of the room's own chat servers: a
    // refused port, a host name, whatever a test needs tried first.
    std::vector<std::string> leadingServers;
};

class PandaRoom : public SimulatedRoom {
  public:
    enum class LookupFault { None, EmptyAnswer, MalformedJson, MissingAuthtype, EmptyServerList };
    enum class ChatFault {
        None,
        CloseAfterLogin,  // read the login, then hang up
        BareFrameFirst,   // a header-only frame before the login answer
        OversizedFrame,   // after the login answer, a batch announcing 32,769 body bytes
    };

    explicit PandaRoom(const RoomScript& script, PandaRoomOptions options = {});
    ~PandaRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;

    void setLookupFault(LookupFault fault) { lookupFault_ = fault; }
    void setChatFault(ChatFault fault) { chatFault_ = fault; }

    int lookups() const { return lookups_.load(); }
    int logins() const { return logins_.load(); }
    int heartbeats() const { return heartbeats_.load(); }
    std::string lastLoginText() const;
    std::string lastLookupTarget() const;
    // Everything the clients did on the chat servers, in order of arrival:
    // "chat<index> connected", then "chat<index>: <frame>" for each whole frame
    // read (the login, the heartbeats).
    std::vector<std::string> heard() const { return heard_.get(); }
    std::uint16_t chatPort(int index) const { return chatServers_.at(index)->port(); }

    // The document the chat-info service answers with when nothing is wrong.
    std::string chatInfoDocument() const;

  private:
    HttpResponse answerLookup(const HttpRequest& request);
    void serveChat(Connection& connection, const std::string& who);
    void hear(std::string line) { heard_.append(std::move(line)); }

    RoomScript script_;
    PandaRoomOptions options_;
    std::atomic<LookupFault> lookupFault_{LookupFault::None};
    std::atomic<ChatFault> chatFault_{ChatFault::None};
    std::atomic<int> lookups_{0};
    std::atomic<int> logins_{0};
    std::atomic<int> heartbeats_{0};
    mutable std::mutex mutex_;
    std::string lastLoginText_;
    std::string lastLookupTarget_;
    Guarded<std::vector<std::string>> heard_;
    // Last: their threads use the members above.
    std::vector<std::unique_ptr<TcpServer>> chatServers_;
    std::unique_ptr<HttpServer> web_;
};

std::unique_ptr<SimulatedRoom> makePandaRoom(const RoomScript& script);

// One Panda message-batch frame carrying `payloads` as its records.
std::string pandaBatchFrame(const std::vector<std::string>& payloads);

}  // namespace sim
