#include "sim/https_server.h"

#include <boost/asio/ssl.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <cctype>

namespace sim {

namespace http = boost::beast::http;
namespace ssl = boost::asio::ssl;

namespace {

std::unique_ptr<ssl::context> serverContext(const TlsIdentity& identity) {
    auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
    context->use_certificate_chain(boost::asio::buffer(identity.certificatePem));
    context->use_private_key(boost::asio::buffer(identity.privateKeyPem), ssl::context::pem);
    return context;
}

}  // namespace

HttpsServer::HttpsServer(HttpServer::Handler handler, const TlsIdentity& identity)
    : handler_(std::move(handler)),
      context_(serverContext(identity)),
      server_([this](Connection& connection) { serve(connection); }) {}

HttpsServer::~HttpsServer() {
    server_.stop();
}

void HttpsServer::serve(Connection& connection) {
    ssl::stream<boost::asio::ip::tcp::socket&> tls(connection.socket(), *context_);
    boost::system::error_code error;
    tls.handshake(ssl::stream_base::server, error);
    boost::beast::flat_buffer buffer;
    http::request<http::string_body> raw;
    if (!error) {
        http::read(tls, buffer, raw, error);
    }
    if (error) {
        return;
    }
    HttpRequest request{std::string(raw.method_string()), std::string(raw.target()), {}};
    for (const auto& field : raw) {
        std::string name(field.name_string());
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        request.headers[name] = std::string(field.value());
    }
    HttpResponse answer = handler_(request);
    http::response<http::string_body> response{static_cast<http::status>(answer.status), 11};
    for (const auto& [name, value] : answer.headers) {
        response.set(name, value);
    }
    response.body() = answer.body;
    response.keep_alive(false);
    response.prepare_payload();
    http::write(tls, response, error);
    tls.shutdown(error);
}

}  // namespace sim
