#include "sim/web_chat_room.h"

#include <utility>

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

}  // namespace sim
