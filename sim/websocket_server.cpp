#include "sim/websocket_server.h"

#include <boost/asio/ssl.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cctype>

namespace sim {

namespace beast = boost::beast;
namespace ssl = boost::asio::ssl;

WebSocketPeer::WebSocketPeer(Connection& connection, ssl::context* tls) : connection_(connection) {
    if (tls) {
        secure_ = std::make_unique<Secure>(connection.socket(), *tls);
    } else {
        plain_ = std::make_unique<Plain>(connection.socket());
    }
}

WebSocketPeer::~WebSocketPeer() = default;

bool WebSocketPeer::accept() {
    beast::error_code error;
    if (secure_) {
        secure_->next_layer().handshake(ssl::stream_base::server, error);
        if (error) {
            return false;
        }
    }
    return visit([&](auto& stream) {
        beast::flat_buffer buffer;
        beast::http::request<beast::http::string_body> request;
        beast::http::read(stream.next_layer(), buffer, request, error);
        if (error || !beast::websocket::is_upgrade(request)) {
            return false;
        }
        request_.target = std::string(request.target());
        for (const auto& field : request) {
            std::string name(field.name_string());
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            request_.headers[name] = std::string(field.value());
        }
        stream.accept(request, error);
        if (error) {
            return false;
        }
        stream.binary(true);
        return true;
    });
}

bool WebSocketPeer::read(std::string& message) {
    return visit([&](auto& stream) {
        beast::flat_buffer buffer;
        beast::error_code error;
        stream.read(buffer, error);
        if (error) {
            return false;
        }
        message = beast::buffers_to_string(buffer.data());
        return true;
    });
}

bool WebSocketPeer::write(const std::string& message) {
    return visit([&](auto& stream) {
        beast::error_code error;
        stream.write(boost::asio::buffer(message), error);
        return !error;
    });
}

bool WebSocketPeer::ping() {
    return visit([&](auto& stream) {
        beast::error_code error;
        stream.ping({}, error);
        return !error;
    });
}

bool WebSocketPeer::closeWith(std::uint16_t code) {
    return visit([&](auto& stream) {
        beast::error_code error;
        stream.close(beast::websocket::close_reason(code), error);
        return !error;
    });
}

namespace {

std::unique_ptr<ssl::context> serverContext(const std::optional<TlsIdentity>& tls) {
    if (!tls) {
        return nullptr;
    }
    auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
    context->use_certificate_chain(boost::asio::buffer(tls->certificatePem));
    context->use_private_key(boost::asio::buffer(tls->privateKeyPem), ssl::context::pem);
    return context;
}

}  // namespace

WebSocketServer::WebSocketServer(Script script, std::optional<TlsIdentity> tls)
    : script_(std::move(script)), tls_(serverContext(tls)), tcp_([this](Connection& connection) {
          WebSocketPeer peer(connection, tls_.get());
          if (!peer.accept()) {
              return;
          }
          {
              std::lock_guard lock(mutex_);
              requests_.push_back(peer.request());
          }
          script_(peer);
      }) {}

std::string WebSocketServer::url(const std::string& path) const {
    return (tls_ ? "wss://127.0.0.1:" : "ws://127.0.0.1:") + std::to_string(port()) + path;
}

int WebSocketServer::upgraded() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
}

std::vector<std::string> WebSocketServer::targets() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> targets;
    for (const auto& request : requests_) {
        targets.push_back(request.target);
    }
    return targets;
}

std::vector<UpgradeRequest> WebSocketServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

}  // namespace sim
