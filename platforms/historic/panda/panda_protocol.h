// The Panda wire formats, as pure functions: the chat-info document, the login
// and heartbeat packets, the staged frame reader and the message batches.
// Nothing here touches a socket, so tests and fuzzers drive it directly.
//
// Pure; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platforms/historic/common/server_entry.h"

namespace panda {

using ServerEntry = platforms::ServerEntry;

// What the chat-info lookup hands out for one connection.
struct ChatInfo {
    std::string rid, appid, ts, sign, authtype;
    std::vector<ServerEntry> servers;
};

// The chat-info document, or nothing when it is not JSON or lacks "data", one
// of its five credentials or "chat_addr_list". An empty list is a valid answer
// with no servers.
std::optional<ChatInfo> parseChatInfo(std::string_view body);

// "/ajax_chatinfo?roomid=<room>&retry=0" after `host`; the room goes unescaped.
std::string chatInfoUrl(const std::string& host, const std::string& roomId);

// Login text and packet (4 fixed bytes, 2-byte big-endian text length, text).
std::string loginText(const ChatInfo& info);
std::string buildLoginPacket(const ChatInfo& info);
std::string heartbeatPacket();

inline constexpr int kMaxBodyLength = 32768;
inline constexpr std::size_t kHeaderLength = 4;

// The receive area and the state of the frame being read. A frame is read in
// up to three exact reads: the 4-byte header, its extension, its body.
struct PandaFrame {
    enum Kind { LoginAnswer = 0, MessageBatch = 1, Bare = 2 };

    int extensionLength = 0;
    std::array<std::uint8_t, kHeaderLength + 11 + kMaxBodyLength> data{};
    int bodyLength = 0;
    int stage = 0;  // 0 header next, 1 extension next, 2 body next
    int kind = Bare;

    const std::uint8_t* body() const { return data.data() + kHeaderLength + extensionLength; }
};

// The next exact read a frame needs: `length` bytes into `frame.data` at `offset`.
struct NextRead {
    enum What { Header, Extension, Body, Broken } what = Header;
    std::size_t offset = 0;
    std::size_t length = kHeaderLength;
};

// Call after the header or the extension has been read into `frame.data`.
// Broken means the announced body is longer than the receive area allows.
NextRead afterHeadRead(PandaFrame& frame);

// The payloads of a message-batch body: each record is 14 bytes that are not
// examined, a 2-byte big-endian length, then the payload. A record whose
// length runs past the body is cut at the body's end.
void forEachBatchRecord(std::string_view body, const std::function<void(std::string_view)>& record);

// One decoded chat message: a chat line or a gift. Texts are GBK.
struct Message {
    enum Kind { Chat, Gift } kind = Chat;
    std::string name;
    std::string text;
    std::int32_t count = 0;
};

// The message of one batch payload, or nothing for unparseable JSON, missing
// keys, unconvertible values and types other than 1, 206 and 306.
std::optional<Message> parseMessage(std::string_view json);

}  // namespace panda
