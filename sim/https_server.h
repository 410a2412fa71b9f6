// An HTTPS server on loopback for tests of the TLS paths: each request goes
// to the same kind of handler as HttpServer's and its answer is sent as it is
// (status, headers, body; the fault switches are HttpServer's alone).
//
// Threads: as TcpServer; the handler runs on the connection's thread.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <memory>
#include <string>

#include "sim/http_server.h"
#include "sim/tls_identity.h"

namespace sim {

class HttpsServer {
  public:
    HttpsServer(HttpServer::Handler handler, const TlsIdentity& identity);
    ~HttpsServer();

    std::uint16_t port() const { return server_.port(); }
    // "https://localhost:<port>": the name the certificate carries.
    std::string base() const { return "https://localhost:" + std::to_string(port()); }

  private:
    void serve(Connection& connection);

    HttpServer::Handler handler_;
    std::unique_ptr<boost::asio::ssl::context> context_;
    TcpServer server_;  // last: its threads use the members above
};

}  // namespace sim
