#include "platforms/common/link_failure.h"

#include <boost/asio/error.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/websocket/error.hpp>

namespace platforms {

namespace {

// A server can put anything into a reason; a status stays one short line.
constexpr std::size_t kDetailCap = 120;

std::string bracketed(const std::string& detail) {
    return detail.empty() ? std::string() : "(" + detail.substr(0, kDetailCap) + ")";
}

}  // namespace

std::string LinkFailure::text() const {
    switch (kind) {
        case Kind::Other:
            return detail.substr(0, kDetailCap);
        case Kind::NotResolved:
            return detail.empty() ? "连接失败(无法解析域名)"
                                  : "连接失败(无法解析域名:" + detail.substr(0, kDetailCap) + ")";
        case Kind::Refused:
            return "连接失败(拒绝连接)";
        case Kind::TimedOut:
            return "连接失败(超时)";
        case Kind::Certificate:
            return "连接失败(证书被拒绝:" + detail.substr(0, kDetailCap) + ")";
        case Kind::Tls:
            return "连接失败(TLS握手失败)";
        case Kind::ServerClosed:
            return detail.empty() ? "服务器关闭了连接" : "服务器关闭了连接(关闭码" + detail + ")";
        case Kind::Dropped:
            return "服务器断开";
        case Kind::PingFlood:
            return "服务器发送过多ping,已断开";
        case Kind::AuthRefused:
            return "登陆被拒绝" + bracketed(detail);
        case Kind::LoginTimeout:
            return "登陆超时";
        case Kind::Silence:
            return "服务器长时间无响应";
        case Kind::Broken:
            return "服务器数据出错";
        case Kind::LookupFailed:
            return "获取房间信息失败" + bracketed(detail);
        case Kind::NoSuchRoom:
            return "房间不存在";
        case Kind::RiskControl:
            return "请求被风控拦截" + bracketed(detail);
    }
    return detail;
}

LinkFailure linkFailureOf(const WebSocketConnection::Failure& failure) {
    using Stage = WebSocketConnection::Stage;
    using Kind = LinkFailure::Kind;
    const auto& error = failure.error;
    namespace asio = boost::asio;
    if (failure.pingFlood) {
        return {Kind::PingFlood, {}};
    }
    if (!failure.verifyError.empty()) {
        return {Kind::Certificate, failure.verifyError};
    }
    if (error == boost::beast::error::timeout || error == asio::error::timed_out) {
        return {Kind::TimedOut, {}};
    }
    switch (failure.stage) {
        case Stage::Resolve:
            return {Kind::NotResolved, {}};
        case Stage::Connect:
            if (error == asio::error::connection_refused) {
                return {Kind::Refused, {}};
            }
            // The code tells an unreachable network from a firewall's refusal.
            return {Kind::Other, "连接失败(错误码" + std::to_string(error.value()) + ")"};
        case Stage::Handshake:
            if (error.category() == asio::error::get_ssl_category() ||
                error == asio::ssl::error::stream_truncated) {
                return {Kind::Tls, {}};
            }
            // Accepted, then turned away before the upgrade: refused in effect.
            return {Kind::Refused, {}};
        case Stage::Read:
        case Stage::Write:
            if (error == boost::beast::websocket::error::closed) {
                return {Kind::ServerClosed,
                        failure.closeCode ? std::to_string(failure.closeCode) : std::string()};
            }
            return {Kind::Dropped, {}};
    }
    return {Kind::Other, "连接失败"};
}

}  // namespace platforms
