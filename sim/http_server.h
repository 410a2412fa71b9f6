// A small HTTP/1.1 server on loopback for the simulated platforms and the
// tests: each request goes to a handler that returns the answer, and the
// answer can carry faults (stall, a broken body, a gzip body).
//
// Threads: as TcpServer; the handler runs on the connection's thread.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "sim/tcp_server.h"

namespace sim {

struct HttpRequest {
    std::string method;
    std::string target;                          // path and query, as sent
    std::map<std::string, std::string> headers;  // names in lower case

    std::string header(const std::string& lowerName) const;
};

struct HttpResponse {
    int status = 200;
    std::string body;
    std::map<std::string, std::string> headers;  // added as given
    bool gzip = false;                           // send the body gzip-encoded with Content-Encoding
    bool stall = false;                          // send the head and half the body, then hold the connection
    bool truncate = false;                       // announce the full length, send half the body, then close
    bool closeWithoutAnswer = false;
    bool silent = false;  // read the request, never answer, hold the connection
    // The body is sent this many times over as one stream (gzip-encoded as a
    // whole when `gzip`), 0 meaning without end; any count but 1 sends no
    // length and closes the connection after the last copy. Nothing of the
    // whole is held in memory, so a test can send gigabytes.
    std::size_t repeat = 1;

    static HttpResponse redirect(const std::string& location);
};

class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit HttpServer(Handler handler);

    std::uint16_t port() const { return server_.port(); }
    // "127.0.0.1:<port>", what the clients' host settings take.
    std::string hostPort() const;
    int requests() const { return requests_.load(); }
    void stop() { server_.stop(); }

  private:
    void serve(Connection& connection);
    void streamRepeated(Connection& connection, const HttpResponse& response);

    Handler handler_;
    std::atomic<int> requests_{0};
    TcpServer server_;  // last: its threads use the members above
};

// gzip encoding of `data` (for answers to clients that accept it).
std::string gzipEncode(const std::string& data);

}  // namespace sim
