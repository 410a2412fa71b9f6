// The commands of the live chat (JSON bodies of message packets) that turn
// into events for the dialog. Texts come out in GBK. Names are passed as the
// service sends them, masks included ("用***" to a visitor who is not logged
// in): whether an asterisk is a mask depends on the login, which only the
// client knows (see bilibili_dispatch.h).
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bilibili {

struct ChatCommand {
    enum Kind {
        Chat,       // name, text
        SuperChat,  // a paid message: name, text, count = its price in yuan; read whatever its length
        Gift,       // name, text = gift name, count
        Enter,      // name
        Follow,     // name (a follow, special follow or mutual follow)
        Share,      // name
        Like,       // name
        Notice,     // text = the service's notice that names are hidden
    };
    Kind kind = Chat;
    std::string name;
    std::string text;
    std::int32_t count = 0;
    std::int64_t uid = 0;  // the viewer's id where the command gives one, else 0
    // A gift's whole value in gold and silver seeds where the command gives it, else -1.
    std::int64_t value = -1;
};

// The command name without the suffix some commands carry after ':'
// ("DANMU_MSG:4:0:2:2:2:0" is "DANMU_MSG").
std::string_view commandName(std::string_view cmd);

// What became of one command body.
struct CommandOutcome {
    enum Status {
        NotJson,      // not a JSON object, or a read command cut short
        Unread,       // a command this program does not read: skipped unparsed
        OutOfBounds,  // a read command too large, deep or wide: dropped
        Read,         // read; it may still have lacked the fields it needs
    };
    Status status = NotJson;
    std::string name;  // the command's name before any ':' (UTF-8), when it has one
};

// Appends the events of one command to `out`: none for a command this program
// does not read or one that lacks the fields it needs, two or more for a gift
// message that carries several items.
CommandOutcome readCommand(std::string_view json, std::vector<ChatCommand>& out);

// readCommand, false only for NotJson.
bool parseCommand(std::string_view json, std::vector<ChatCommand>& out);

// Standard base64 (padding optional, no white space); nothing on a byte
// outside the alphabet.
bool decodeBase64(std::string_view text, std::string& out);

}  // namespace bilibili
