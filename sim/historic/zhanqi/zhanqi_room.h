// A simulated Zhanqi room: the room page (with its base64 server
// configuration) and the viewer API over HTTP, and chat servers over TCP that
// answer the greeting and the login request, play the script and record every
// text the client sends. Switches inject the faults a client must survive.
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

struct ZhanqiRoomOptions {
    std::string roomNumber = "8848";  // what the host types
    int roomId = 41532;               // the numeric id on the page and in gifts
    int chatServers = 1;
    // (ip, port) items listed ahead of and after the room's own chat servers:
    // refused ports, host names, whatever a test needs in the list.
    std::vector<std::pair<std::string, int>> leadingServers;
    std::vector<std::pair<std::string, int>> trailingServers;
};

class ZhanqiRoom : public SimulatedRoom {
  public:
    enum class LookupFault { None, EmptyPage, EmptyViewer, BrokenViewer, MissingList, EmptyList };
    enum class ChatFault {
        None,
        NegativeLength,   // answer the greeting with a header whose length reads negative
        UnparseableJson,  // answer the greeting with a text that is not JSON
        GreetingRefused,  // "svrisokresp" with "ok" 0
        CloseAfterGreeting,
    };

    explicit ZhanqiRoom(const RoomScript& script, ZhanqiRoomOptions options = {});
    ~ZhanqiRoom() override;

    std::string roomNumber() const override { return options_.roomNumber; }
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;

    void setLookupFault(LookupFault fault) { lookupFault_ = fault; }
    // For the chat server at `index`; -1 for all of them.
    void setChatFault(ChatFault fault, int index = -1);

    int pageRequests() const { return pageRequests_.load(); }
    int accepted(int index) const { return chatServers_.at(index)->accepted(); }
    std::uint16_t chatPort(int index) const { return chatServers_.at(index)->port(); }
    // Every text the chat servers received, in order of arrival.
    std::vector<std::string> receivedTexts() const;
    // Everything the clients did on the chat servers, in order of arrival:
    // "chat<index> connected", then "chat<index>: <packet>" for each whole packet.
    std::vector<std::string> heard() const { return heard_.get(); }

    std::string roomPage() const;

  private:
    HttpResponse answer(const HttpRequest& request);
    void serveChat(int index, Connection& connection);
    bool readText(Connection& connection, const std::string& who, std::string& text);
    void hear(std::string line) { heard_.append(std::move(line)); }

    RoomScript script_;
    ZhanqiRoomOptions options_;
    std::atomic<LookupFault> lookupFault_{LookupFault::None};
    std::vector<std::unique_ptr<std::atomic<ChatFault>>> chatFaults_;
    std::atomic<int> pageRequests_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    Guarded<std::vector<std::string>> heard_;
    // Last: their threads use the members above.
    std::vector<std::unique_ptr<TcpServer>> chatServers_;
    std::unique_ptr<HttpServer> web_;
};

std::unique_ptr<SimulatedRoom> makeZhanqiRoom(const RoomScript& script);

// One Zhanqi packet as a server sends it.
std::string zhanqiPacket(const std::string& text, std::uint16_t lengthField);
std::string zhanqiPacket(const std::string& text);

}  // namespace sim
