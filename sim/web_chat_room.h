// A simulated room made of one web server on loopback (pages, lists) and one
// chat WebSocket server, with the counts the tests watch, and the script
// played as bursts, as the chat servers of Douyu and Huya push it.
//
// Threads: construct and destroy on one thread; the queries from any thread;
// the servers run on threads of their own.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/http_server.h"
#include "sim/room.h"
#include "sim/websocket_server.h"

namespace sim {

class WebChatRoom : public SimulatedRoom {
  public:
    ~WebChatRoom() override;

    std::string webBase() const;  // "http://127.0.0.1:PORT"
    std::string chatUrl() const;  // "ws://127.0.0.1:PORT/"

    // Drops every open chat connection now (the client sees it end).
    void dropConnections() { chat_->dropConnections(); }
    // Chat handshakes completed so far, and connections being served now.
    int chatConnections() const { return chat_->upgraded(); }
    int openChatConnections() const { return openChats_.load(); }

  protected:
    WebChatRoom() = default;

    // The room calls `startServers` last in its constructor, once all that the
    // handlers use is ready, and `stopServers` first in its destructor, while
    // it still is: the servers' threads run the handlers until they stop.
    void startServers(HttpServer::Handler web, WebSocketServer::Script chat);
    void stopServers();

  private:
    std::atomic<int> openChats_{0};
    std::unique_ptr<WebSocketServer> chat_;
    std::unique_ptr<HttpServer> web_;
};

// One event of a burst, with its serial number, counted from 1 over every
// pass of a looping script.
struct BurstEvent {
    const ScriptEvent& event;
    int serial;
};

// Plays the script in bursts: an event without a pause before it joins the
// burst of the one before, and each burst goes to `send` at the due time of
// its first event (counted from the previous due time, so a long script keeps
// its rate). Starts over while the script loops. False as soon as the
// connection ends or `send` returns false.
bool playBursts(WebSocketPeer& peer, const RoomScript& script,
                const std::function<bool(const std::vector<BurstEvent>&)>& send);

}  // namespace sim
