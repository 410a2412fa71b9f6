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
    enum class Kind { Ignored, LoginAccepted, Refused, Chat, Enter, Gift };
    Kind kind = Kind::Ignored;
    std::string name;
    std::string text;    // chat: the line, trimmed
    std::string giftId;  // gifts: the id whose name the gift lists give
    std::int32_t count = 0;
};

// "loginres" accepts the login; "error" (the login refused, or the room
// closed to this client later) ends the connection; "chatmsg" (nn, txt),
// "uenter" (nn) and "dgb" (nn, gfid, gfcnt) become events; every other type
// is ignored. A gift without a positive count counts as one.
Event parseEvent(std::string_view text);

std::string loginText(const std::string& roomId);
std::string joinGroupText(const std::string& roomId);
std::string keepAliveText();

}  // namespace douyuws
