// Why a living client's connection or lookup failed, in the few words the
// status line shows ("连接失败(拒绝连接)").
//
// Plain data; any thread.
#pragma once

#include <string>

#include "platforms/common/websocket_connection.h"

namespace platforms {

struct LinkFailure {
    enum class Kind {
        Other,        // `detail` is the whole text
        NotResolved,  // the server's name
        Refused,
        TimedOut,
        Certificate,  // OpenSSL's reason
        Tls,
        ServerClosed,  // the close code, when the server sent one
        Dropped,       // the connection ended without a close
        PingFlood,
        AuthRefused,  // the code of the refusal
        LoginTimeout,
        Silence,
        Broken,  // the server's data could not be read
        LookupFailed,
        NoSuchRoom,
        RiskControl,  // the service's code (-352, -412, 412)
    };
    Kind kind = Kind::Other;
    std::string detail;  // UTF-8

    // UTF-8, without a closing "!".
    std::string text() const;
    // Whether the failure is the service turning requests away, which calls
    // for the long back-off.
    bool riskControl() const { return kind == Kind::RiskControl; }
};

// The failure a WebSocket connection reported, by its stage and error.
LinkFailure linkFailureOf(const WebSocketConnection::Failure& failure);

}  // namespace platforms
