#include "sim/http_server.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool parseHead(const std::string& head, HttpRequest& request) {
    auto lineEnd = head.find("\r\n");
    std::string first = head.substr(0, lineEnd);
    auto sp1 = first.find(' ');
    auto sp2 = first.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) {
        return false;
    }
    request.method = first.substr(0, sp1);
    request.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    std::size_t pos = lineEnd + 2;
    while (pos < head.size()) {
        auto end = head.find("\r\n", pos);
        if (end == std::string::npos || end == pos) {
            break;
        }
        std::string line = head.substr(pos, end - pos);
        auto colon = line.find(':');
        if (colon != std::string::npos) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers[lower(line.substr(0, colon))] = value;
        }
        pos = end + 2;
    }
    return true;
}

}  // namespace

std::string HttpRequest::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

HttpResponse HttpResponse::redirect(const std::string& location) {
    HttpResponse r;
    r.status = 302;
    r.headers["Location"] = location;
    return r;
}

HttpServer::HttpServer(Handler handler)
    : handler_(std::move(handler)), server_([this](Connection& c) { serve(c); }) {}

std::string HttpServer::hostPort() const {
    return "127.0.0.1:" + std::to_string(port());
}

void HttpServer::serve(Connection& connection) {
    std::string head;
    while (connection.readUntil("\r\n\r\n", head, 64 * 1024)) {
        HttpRequest request;
        if (!parseHead(head, request)) {
            return;
        }
        ++requests_;
        HttpResponse response = handler_(request);
        if (response.closeWithoutAnswer) {
            return;
        }
        if (response.silent) {
            std::string ignored;
            connection.readExact(1, ignored);
            return;
        }
        if (response.repeat != 1) {
            streamRepeated(connection, response);
            return;
        }
        std::string body = response.gzip ? gzipEncode(response.body) : response.body;
        std::string out =
            "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        if (response.gzip) {
            out += "Content-Encoding: gzip\r\n";
        }
        for (const auto& [name, value] : response.headers) {
            out += name + ": " + value + "\r\n";
        }
        out += "Connection: keep-alive\r\n\r\n";
        if (response.stall || response.truncate) {
            connection.write(out + body.substr(0, body.size() / 2));
            if (response.stall) {
                // Hold the connection until the client gives up or the server stops.
                std::string ignored;
                connection.readExact(1, ignored);
            }
            return;
        }
        if (!connection.write(out + body)) {
            return;
        }
    }
}

void HttpServer::streamRepeated(Connection& connection, const HttpResponse& response) {
    std::string head =
        "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    if (response.gzip) {
        head += "Content-Encoding: gzip\r\n";
    }
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    if (!connection.write(head)) {
        return;
    }
    z_stream zs{};
    if (response.gzip &&
        deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        return;
    }
    std::string out(256 * 1024, '\0');
    auto deflateChunk = [&](const std::string& in, int flush) {
        std::string produced;
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        zs.avail_in = static_cast<uInt>(in.size());
        do {
            zs.next_out = reinterpret_cast<Bytef*>(out.data());
            zs.avail_out = static_cast<uInt>(out.size());
            deflate(&zs, flush);
            produced.append(out.data(), out.size() - zs.avail_out);
        } while (zs.avail_out == 0);
        return produced;
    };
    bool open = true;
    for (std::size_t sent = 0; open && (response.repeat == 0 || sent < response.repeat); ++sent) {
        std::string chunk = response.gzip ? deflateChunk(response.body, Z_NO_FLUSH) : response.body;
        open = chunk.empty() || connection.write(chunk);
    }
    if (response.gzip) {
        if (open) {
            connection.write(deflateChunk({}, Z_FINISH));
        }
        deflateEnd(&zs);
    }
}

std::string gzipEncode(const std::string& data) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&zs, data.size()) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

}  // namespace sim
