#include "platforms/bilibili/bilibili_lookup.h"

#include "platforms/bilibili/bilibili_wbi.h"

namespace bilibili {

ChatLookup::ChatLookup(std::string apiBase, std::string liveApiBase, HttpGet get,
                       std::function<std::int64_t()> clock)
    : apiBase_(std::move(apiBase)),
      liveApiBase_(std::move(liveApiBase)),
      get_(std::move(get)),
      clock_(std::move(clock)) {}

std::string ChatLookup::cookiesFor(const std::string& cookieLine) {
    std::string own = cookieValue(cookieLine, "buvid3");
    if (!own.empty()) {
        buvid_ = own;
        return cookieLine;
    }
    if (buvid_.empty()) {
        buvid_ = parseBuvid(get_(apiBase_ + "/x/frontend/finger/spi", cookieLine));
    }
    if (buvid_.empty()) {
        return cookieLine;
    }
    return cookieLine.empty() ? "buvid3=" + buvid_ : cookieLine + "; buvid3=" + buvid_;
}

bool ChatLookup::fetchKeys(const std::string& cookies) {
    auto nav = parseNav(get_(apiBase_ + "/x/web-interface/nav", cookies));
    if (!nav) {
        return false;
    }
    mixin_ = mixinKey(nav->imgKey, nav->subKey);
    uid_ = nav->mid;
    loggedIn_ = nav->loggedIn;
    keysCookie_ = cookies;
    return true;
}

ChatAccess ChatLookup::lookup(std::int64_t typedRoom, const std::string& cookieLine) {
    ChatAccess access;
    std::string cookies = cookiesFor(cookieLine);
    access.cookies = cookies;
    RoomLookup room = parseRoomInit(
        get_(liveApiBase_ + "/room/v1/Room/room_init?id=" + std::to_string(typedRoom), cookies));
    if (room.status != RoomLookup::Found) {
        access.status = room.status == RoomLookup::NoSuchRoom ? ChatAccess::NoSuchRoom : ChatAccess::Failed;
        return access;
    }
    access.roomId = room.roomId;
    // A new cookie may belong to another user: its uid comes with the keys.
    if ((mixin_.empty() || keysCookie_ != cookies) && !fetchKeys(cookies)) {
        return access;
    }
    access.loggedIn = loggedIn_;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string query =
            signedQuery({{"id", std::to_string(room.roomId)}, {"type", "0"}}, mixin_, clock_());
        DanmuInfo info =
            parseDanmuInfo(get_(liveApiBase_ + "/xlive/web-room/v1/index/getDanmuInfo?" + query, cookies));
        if (info.status == DanmuInfo::Ok) {
            access.status = ChatAccess::Ready;
            access.uid = uid_;
            access.buvid = buvid_;
            access.token = std::move(info.token);
            access.hosts = std::move(info.hosts);
            refusedAfterRefresh_ = false;
            return access;
        }
        if (info.status != DanmuInfo::Refused) {
            access.status = ChatAccess::Failed;
            break;
        }
        access.status = ChatAccess::RiskControl;
        access.refusalCode = info.code;
        if (attempt > 0 || refusedAfterRefresh_ || !fetchKeys(cookies)) {
            refusedAfterRefresh_ = true;
            break;
        }
        access.keysRefreshed = true;
    }
    return access;
}

}  // namespace bilibili
