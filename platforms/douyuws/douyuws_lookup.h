// The web answers today's Douyu client reads before it joins a room: the
// room's real id from its betard document, and the names of gifts from the
// room's gift list and the site-wide prop list.
//
// Pure; any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace douyuws {

// Gift id (decimal text) to gift name (GBK).
using GiftNames = std::unordered_map<std::string, std::string>;

// "/betard/<room>": `room.room_id`, a positive decimal number of at most ten
// digits. Nothing when the document is not JSON or holds no such id.
std::optional<std::string> roomIdFromBetard(std::string_view document);

// "/api/gift/v3/web/list?rid=<id>" (and v2): `data.giftList[]`, or `data[]`
// itself, with `id` (number or text) and `name`. Adds what it finds to
// `names`; false when the document is not JSON, is too large or too wide,
// carries an `error` other than 0, or has no list (an empty list is a valid
// answer).
bool readGiftList(std::string_view document, GiftNames& names);

// The prop configuration: `DYConfigCallback(<JSON>);` whose `data` maps each
// id to an object with a `name`. Adds what it finds to `names`; false when the
// wrapper or the JSON inside is missing.
bool readPropList(std::string_view document, GiftNames& names);

// A blocking GET that returns the body, or an empty text on failure.
using PageFetch = std::function<std::string(const std::string& url)>;

// The room's gift list from the v3 path, or from the v2 path when the v3
// answer fails to read (an HTTP failure, an `error` other than 0). Replaces
// `names` with what the first readable answer lists; false when neither reads.
bool fetchRoomGifts(const PageFetch& fetch, const std::string& giftBase, const std::string& roomId,
                    GiftNames& names);

// The room's own name for a gift first, then the prop list's, then "礼物" (GBK).
std::string giftNameOf(const std::string& id, const GiftNames& roomGifts, const GiftNames& props);

// The typed room number when it can stand for the room id itself: a positive
// decimal number of at most ten digits (blanks around it dropped).
std::optional<std::string> roomNumberOf(std::string_view typed);

// The request URLs after their bases ("https://www.douyu.com"). The typed room
// goes percent-encoded: a vanity name is looked up as typed, but can never
// leave the path.
std::string betardUrl(const std::string& apiBase, std::string_view typedRoom);
std::string giftListUrl(const std::string& giftBase, const std::string& roomId, int version);
std::string propListUrl(const std::string& webconfBase);

}  // namespace douyuws
