#include "sim/web_chat_room.h"

#include "sim/room_support.h"

namespace sim {

WebChatRoom::~WebChatRoom() {
    stopServers();
}

void WebChatRoom::startServers(HttpServer::Handler web, WebSocketServer::Script chat) {
    chat_ = std::make_unique<WebSocketServer>([this, chat = std::move(chat)](WebSocketPeer& peer) {
        ++openChats_;
        chat(peer);
        --openChats_;
    });
    web_ = std::make_unique<HttpServer>(std::move(web));
}

void WebChatRoom::stopServers() {
    if (web_) {
        web_->stop();
    }
    if (chat_) {
        chat_->stop();
    }
}

std::string WebChatRoom::webBase() const {
    return "http://" + web_->hostPort();
}

std::string WebChatRoom::chatUrl() const {
    return chat_->url("/");
}

bool playBursts(WebSocketPeer& peer, const RoomScript& script,
                const std::function<bool(const std::vector<BurstEvent>&)>& send) {
    auto due = std::chrono::steady_clock::now();
    int serial = 0;
    do {
        const auto& events = script.events;
        for (std::size_t i = 0; i < events.size();) {
            due += events[i].delay;
            std::vector<BurstEvent> burst;
            do {
                burst.push_back({events[i], ++serial});
                ++i;
            } while (i < events.size() && events[i].delay.count() == 0);
            if (!pauseUntil(peer, due) || !send(burst)) {
                return false;
            }
        }
    } while (script.loop && !script.events.empty() && peer.isOpen());
    return peer.isOpen();
}

}  // namespace sim
