// Decoding what the Longzhu web servers send: the chat-room id on the room
// page and the polling API's JSON replies. Pure functions without I/O, so the
// client, the tests and the fuzzer share them; any thread may call them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace longzhu {

// One chat line or gift of a reply. Texts are GBK.
struct Message {
    enum class Kind { Chat, Gift };
    Kind kind = Kind::Chat;
    std::string nickname;
    std::string text;        // chat: the line; gift: the gift's name
    std::int32_t count = 0;  // gifts only
};

enum class ReplyStatus {
    Ok,
    NotJson,    // the body is not JSON (or nests deeper than util::kJsonMaxDepth)
    Malformed,  // JSON, but a field we read is missing or of the wrong type
};

struct Reply {
    ReplyStatus status = ReplyStatus::NotJson;
    // "next" and "from" were both read; a malformed batch can still move the
    // cursor on, so the next request does not fetch the same faulty batch again.
    bool hasCursor = false;
    std::int32_t next = 0;
    std::int64_t from = 0;
    // In reply order. For a malformed reply: the messages before the faulty one.
    std::vector<Message> messages;
};

Reply decodeReply(std::string_view body);

// The gift's display name (GBK) for an "itemType" key (GBK); an unknown key is
// its own name. Exact, case-sensitive match.
std::string giftName(std::string_view key);

// The chat-room id that follows the "RoomId": marker on the room page, or 0
// when the marker is missing or not followed by a number.
std::int32_t chatRoomIdFromPage(std::string_view page);

// "/chatroom/msgsv2/<chatRoomId>/<from>/<next>/", the path of one poll.
std::string pollPath(std::int32_t chatRoomId, std::int64_t from, std::int32_t next);

}  // namespace longzhu
