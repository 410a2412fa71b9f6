// The web API answers the client reads before it connects, the requests it
// builds, and the authentication packet's body.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bilibili {

// /room/v1/Room/room_init: the real id of a typed (possibly short) number.
struct RoomLookup {
    enum Status { Found, NoSuchRoom, Failed };
    Status status = Failed;
    std::int64_t roomId = 0;
};
RoomLookup parseRoomInit(std::string_view body);

// /x/web-interface/nav: the signature keys (present even in the -101 answer
// to a visitor) and, for a logged-in cookie, the user's id.
struct NavInfo {
    std::string imgKey;
    std::string subKey;
    std::int64_t mid = 0;
    bool loggedIn = false;  // data.isLogin: the cookie it was asked with is a live login
};
std::optional<NavInfo> parseNav(std::string_view body);

// /x/frontend/finger/spi: the visitor id (data.b_3), or an empty text.
std::string parseBuvid(std::string_view body);

struct ChatHost {
    std::string host;
    int wsPort = 0;
    int wssPort = 0;
};

// /xlive/web-room/v1/index/getDanmuInfo. `Refused` is an answer that turned
// the signature down (code -352 or -412, or a voucher instead of a token):
// the keys are stale, or the service's risk control stepped in.
struct DanmuInfo {
    enum Status { Ok, Refused, Failed };
    Status status = Failed;
    std::string token;
    std::vector<ChatHost> hosts;
    long long code = 0;  // the refusal's code (0 for a voucher)
};
DanmuInfo parseDanmuInfo(std::string_view body);

// The authentication packet's JSON body.
std::string authBody(std::int64_t uid, std::int64_t roomId, std::string_view buvid, std::string_view token);

// The reply to authentication ({"code":0}) accepted.
bool authAccepted(std::string_view body);
// The reply's code; nothing when it has none.
std::optional<long long> authReplyCode(std::string_view body);

// A cookie line as a browser's developer tools show it ("a=1; b=2"): the
// value of `name`, or an empty text.
std::string cookieValue(std::string_view cookieLine, std::string_view name);

// A typed room number: digits only (spaces around allowed), at least 1.
std::optional<std::int64_t> parseRoomNumber(std::string_view typed);

}  // namespace bilibili
