// A simulated room made of one web server on loopback (pages, lists) and one
// chat WebSocket server, with the counts the tests watch.
//
// Threads: construct and destroy on one thread; the queries from any thread;
// the servers run on threads of their own.
#pragma once

#include <atomic>
#include <memory>
#include <string>

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

}  // namespace sim
