// The texts of today's Douyu chat: the serialised key/value items
// ("type@=chatmsg/nn@=甲/txt@=a@Sb/"), read item by item and unescaped, the
// events they carry, and the requests the client sends.
//
// Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace douyuws {

// One item of a message, its key and value unescaped, both UTF-8.
struct Item {
    std::string key;
    std::string value;
};

// Undoes one level of escaping: "@S" to '/', then "@A" to '@'.
std::string unescape(std::string_view value);
// One level of escaping, for values the client sends: '@' to "@A", '/' to "@S".
std::string escape(std::string_view value);

// The items of a text up to its first NUL. A piece without "@=" (the empty
// piece after the closing '/' among them) is no item.
std::vector<Item> splitItems(std::string_view text);

// The value of the first item with `key`; empty when there is none.
std::string_view valueOf(const std::vector<Item>& items, std::string_view key);

// What a received text means to the client. Names and texts are GBK.
struct Event {
    enum class Kind { Ignored, LoginAccepted, Refused, Chat, Enter, Gift, PaidChat };
    Kind kind = Kind::Ignored;
    std::string name;
    std::string text;    // chat: the line, trimmed; gifts: the gift's name when the message carries one
    std::string giftId;  // gifts: the id whose name the gift lists give
    std::int32_t count = 0;
    std::string roomId;  // `rid`, trimmed; empty when the message names no room
};

// "loginres" accepts the login; "error" (the login refused, or the room
// closed to this client later) ends the connection; "chatmsg" (nn, txt),
// "uenter" (nn) and "dgb" (nn, gfid, gfcnt, gfn) become events; every other
// type is ignored. A gift without a positive count counts as one.
// "comm_chatmsg" is a paid line when its `chatmsg` item holds a record of its
// own (escaped once more) with a `txt`; the sender is that record's `nn`. A
// record that does not read so (another kind of notice, or garbage) is ignored.
Event parseEvent(std::string_view text);

// Whether an event that names a room came from a room other than `joinedRoom`:
// the proxy forwards other rooms' broadcasts. An event that names none is the
// joined room's.
bool isFromOtherRoom(const Event& event, std::string_view joinedRoom);

std::string loginText(const std::string& roomId);
std::string joinGroupText(const std::string& roomId);
std::string keepAliveText();

}  // namespace douyuws
