#include "platforms/common/websocket_connection.h"

#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cctype>
#include <deque>

namespace platforms {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace ssl = boost::asio::ssl;
using Plain = websocket::stream<beast::tcp_stream>;
using Tls = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;
using Stage = WebSocketConnection::Stage;
using Failure = WebSocketConnection::Failure;

std::optional<WebSocketUrl> parseWebSocketUrl(std::string_view url) {
    WebSocketUrl parsed;
    auto startsWith = [&](std::string_view prefix) {
        if (url.size() < prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    if (startsWith("wss://")) {
        parsed.secure = true;
        url.remove_prefix(6);
    } else if (startsWith("ws://")) {
        url.remove_prefix(5);
    } else {
        return std::nullopt;
    }
    auto end = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? std::string_view() : url.substr(end);
    if (authority.find('@') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        parsed.host = std::string(authority.substr(1, close - 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return std::nullopt;
            }
            port = after.substr(1);
        }
    } else {
        auto colon = authority.find(':');
        parsed.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
        }
    }
    if (parsed.host.empty()) {
        return std::nullopt;
    }
    if (port.empty()) {
        parsed.port = parsed.secure ? "443" : "80";
    } else {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        int number = std::stoi(std::string(port));
        if (number <= 0 || number > 0xFFFF) {
            return std::nullopt;
        }
        parsed.port = std::to_string(number);
    }
    rest = rest.substr(0, rest.find('#'));
    parsed.target = rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest);
    return parsed;
}

// One connection attempt and, once open, the connection. Completions hold it
// alive; after it is abandoned they return without touching anything else.
struct WebSocketConnection::Session {
    WebSocketConnection::Handlers handlers;
    WebSocketConnection::Limits limits;
    WebSocketUrl url;
    WebSocketConnection::Headers headers;
    bool abandoned = false;
    bool open = false;
    std::unique_ptr<Plain> plain;
    std::unique_ptr<Tls> tls;
    std::shared_ptr<ssl::context> tlsContext;  // outlives the stream that uses it
    beast::flat_buffer incoming;
    std::deque<std::string> outgoing;
    bool writing = false;
    std::chrono::steady_clock::time_point pingWindow;
    unsigned pingsInWindow = 0;

    template <typename F>
    void visit(F&& f) {
        if (tls) {
            f(*tls);
        } else {
            f(*plain);
        }
    }

    void shut() {
        abandoned = true;
        open = false;
        outgoing.clear();
        visit([](auto& stream) { beast::get_lowest_layer(stream).close(); });
    }

    void fail(Failure failure) {
        if (abandoned) {
            return;
        }
        shut();
        if (handlers.failed) {
            handlers.failed(failure);
        }
    }

    void fail(Stage stage, const boost::system::error_code& error) {
        fail(Failure{stage, error, 0, {}, false});
    }

    // True once the peer pinged faster than allowed.
    bool countPing() {
        auto now = std::chrono::steady_clock::now();
        if (now - pingWindow >= std::chrono::seconds(1)) {
            pingWindow = now;
            pingsInWindow = 0;
        }
        return ++pingsInWindow > limits.pingsPerSecond;
    }
};

namespace {

using SessionPtr = std::shared_ptr<WebSocketConnection::Session>;

template <typename Stream>
void writeNext(const SessionPtr& session, Stream& stream) {
    if (session->writing || !session->open || session->outgoing.empty()) {
        return;
    }
    session->writing = true;
    // A deque keeps the front message in place while later ones are queued.
    stream.async_write(boost::asio::buffer(session->outgoing.front()),
                       [session, &stream](const beast::error_code& error, std::size_t) {
                           if (session->abandoned) {
                               return;
                           }
                           session->writing = false;
                           if (error) {
                               session->fail(Stage::Write, error);
                               return;
                           }
                           session->outgoing.pop_front();
                           writeNext(session, stream);
                       });
}

template <typename Stream>
void readNext(const SessionPtr& session, Stream& stream) {
    stream.async_read(session->incoming, [session, &stream](const beast::error_code& error, std::size_t) {
        if (session->abandoned) {
            return;
        }
        if (error) {
            Failure failure{Stage::Read, error, 0, {}, false};
            if (error == websocket::error::closed) {
                failure.closeCode = static_cast<int>(stream.reason().code);
            }
            session->fail(std::move(failure));
            return;
        }
        std::string message = beast::buffers_to_string(session->incoming.data());
        session->incoming.consume(session->incoming.size());
        if (session->handlers.received) {
            session->handlers.received(std::move(message));
        }
        if (!session->abandoned) {
            readNext(session, stream);
        }
    });
}

template <typename Stream>
void upgrade(const SessionPtr& session, Stream& stream) {
    beast::get_lowest_layer(stream).expires_never();
    auto timeouts = websocket::stream_base::timeout::suggested(beast::role_type::client);
    timeouts.handshake_timeout = session->limits.handshake;
    stream.set_option(timeouts);
    stream.read_message_max(session->limits.messageBytes);
    stream.binary(true);
    stream.set_option(websocket::stream_base::decorator([headers = session->headers](auto& request) {
        for (const auto& [name, value] : headers) {
            request.set(name, value);
        }
    }));
    // Called inside a read; the failure is posted so the stream is not closed under it.
    // The stream keeps this callback, and the session the stream: a weak
    // reference breaks the circle.
    std::weak_ptr<WebSocketConnection::Session> weak = session;
    stream.control_callback([weak, executor = stream.get_executor()](websocket::frame_type kind,
                                                                     beast::string_view) {
        auto session = weak.lock();
        if (kind == websocket::frame_type::ping && session && !session->abandoned && session->countPing()) {
            boost::asio::post(executor, [session] {
                session->fail(Failure{
                    Stage::Read, make_error_code(boost::asio::error::connection_aborted), 0, {}, true});
            });
        }
    });
    const WebSocketUrl& url = session->url;
    bool defaultPort = url.port == (url.secure ? "443" : "80");
    std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
    if (!defaultPort) {
        host += ":" + url.port;
    }
    stream.async_handshake(host, url.target, [session, &stream](const beast::error_code& error) {
        if (session->abandoned) {
            return;
        }
        if (error) {
            session->fail(Stage::Handshake, error);
            return;
        }
        session->open = true;
        if (session->handlers.opened) {
            session->handlers.opened();
        }
        if (!session->abandoned) {
            readNext(session, stream);
            writeNext(session, stream);
        }
    });
}

void secure(const SessionPtr& session, Plain& stream) {
    upgrade(session, stream);
}

void secure(const SessionPtr& session, Tls& stream) {
    auto& layer = stream.next_layer();
    const std::string& host = session->url.host;
    boost::system::error_code notAddress;
    boost::asio::ip::make_address(host, notAddress);
    // Server name indication is for names only, never for address literals.
    if (notAddress && !SSL_set_tlsext_host_name(layer.native_handle(), host.c_str())) {
        session->fail(Stage::Handshake, make_error_code(boost::asio::error::invalid_argument));
        return;
    }
    layer.set_verify_mode(ssl::verify_peer);
    layer.set_verify_callback(ssl::host_name_verification(host));
    beast::get_lowest_layer(stream).expires_after(session->limits.handshake);
    layer.async_handshake(ssl::stream_base::client, [session, &stream](const beast::error_code& error) {
        if (session->abandoned) {
            return;
        }
        if (error) {
            Failure failure{Stage::Handshake, error, 0, {}, false};
            long verified = SSL_get_verify_result(stream.next_layer().native_handle());
            if (verified != X509_V_OK) {
                failure.verifyError = X509_verify_cert_error_string(verified);
            }
            session->fail(std::move(failure));
            return;
        }
        upgrade(session, stream);
    });
}

template <typename Stream>
void connect(const SessionPtr& session, Stream& stream, const Endpoints& endpoints) {
    auto& socket = beast::get_lowest_layer(stream);
    socket.expires_after(session->limits.connect);
    // Tries each address in turn until one accepts.
    socket.async_connect(
        endpoints, [session, &stream](const beast::error_code& error, const boost::asio::ip::tcp::endpoint&) {
            if (session->abandoned) {
                return;
            }
            if (error) {
                session->fail(Stage::Connect, error);
                return;
            }
            secure(session, stream);
        });
}

}  // namespace

WebSocketConnection::WebSocketConnection(boost::asio::io_context& eventLoop, HostResolver::Lookup lookup)
    : eventLoop_(eventLoop), resolver_(eventLoop, std::move(lookup)) {}

WebSocketConnection::~WebSocketConnection() {
    close();
}

void WebSocketConnection::trustCertificate(std::string pem) {
    extraTrust_ = std::move(pem);
}

bool WebSocketConnection::isOpen() const {
    return session_ && session_->open;
}

void WebSocketConnection::close() {
    resolver_.cancel();
    if (session_) {
        session_->shut();
        session_.reset();
        ++generation_;
    }
}

void WebSocketConnection::open(const std::string& url, Handlers handlers, Headers headers) {
    close();
    ++generation_;
    auto session = std::make_shared<Session>();
    session->handlers = std::move(handlers);
    session->headers = std::move(headers);
    session->limits = limits_;
    session_ = session;

    auto parsed = parseWebSocketUrl(url);
    if (parsed) {
        session->url = *parsed;
    }
    if (parsed && parsed->secure) {
        auto context = std::make_shared<ssl::context>(ssl::context::tls_client);
        boost::system::error_code error;
        context->set_default_verify_paths(error);
        if (!extraTrust_.empty()) {
            context->add_certificate_authority(boost::asio::buffer(extraTrust_), error);
        }
        session->tlsContext = context;
        session->tls = std::make_unique<Tls>(eventLoop_, *context);
    } else {
        session->plain = std::make_unique<Plain>(eventLoop_);
    }
    if (!parsed) {
        boost::asio::post(eventLoop_, [session] {
            session->fail(Stage::Resolve, make_error_code(boost::asio::error::invalid_argument));
        });
        return;
    }
    resolver_.resolve(session->url.host, session->url.port,
                      [session](const boost::system::error_code& error, Endpoints endpoints) {
                          if (session->abandoned) {
                              return;
                          }
                          if (error) {
                              session->fail(Stage::Resolve, error);
                              return;
                          }
                          session->visit([&](auto& stream) { connect(session, stream, endpoints); });
                      });
}

void WebSocketConnection::send(std::string message) {
    if (!session_ || session_->abandoned) {
        return;
    }
    session_->outgoing.push_back(std::move(message));
    if (session_->open) {
        session_->visit([&](auto& stream) { writeNext(session_, stream); });
    }
}

}  // namespace platforms
