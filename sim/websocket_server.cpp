#include "sim/websocket_server.h"

#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/websocket.hpp>

namespace sim {

namespace beast = boost::beast;

WebSocketPeer::WebSocketPeer(Connection& connection)
    : connection_(connection), stream_(connection.socket()) {}

bool WebSocketPeer::accept() {
    beast::error_code error;
    beast::flat_buffer buffer;
    beast::http::request<beast::http::string_body> request;
    beast::http::read(connection_.socket(), buffer, request, error);
    if (error || !beast::websocket::is_upgrade(request)) {
        return false;
    }
    target_ = std::string(request.target());
    stream_.accept(request, error);
    if (error) {
        return false;
    }
    stream_.binary(true);
    return true;
}

bool WebSocketPeer::read(std::string& message) {
    beast::flat_buffer buffer;
    beast::error_code error;
    stream_.read(buffer, error);
    if (error) {
        return false;
    }
    message = beast::buffers_to_string(buffer.data());
    return true;
}

bool WebSocketPeer::write(const std::string& message) {
    beast::error_code error;
    stream_.write(boost::asio::buffer(message), error);
    return !error;
}

WebSocketServer::WebSocketServer(Script script)
    : script_(std::move(script)), tcp_([this](Connection& connection) {
          WebSocketPeer peer(connection);
          if (!peer.accept()) {
              return;
          }
          {
              std::lock_guard lock(mutex_);
              targets_.push_back(peer.target());
          }
          script_(peer);
      }) {}

std::string WebSocketServer::url(const std::string& path) const {
    return "ws://127.0.0.1:" + std::to_string(port()) + path;
}

int WebSocketServer::upgraded() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(targets_.size());
}

std::vector<std::string> WebSocketServer::targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

}  // namespace sim
