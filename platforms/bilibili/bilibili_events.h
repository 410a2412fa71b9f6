// The commands of the live chat (JSON bodies of message packets) that turn
// into events for the dialog. Texts come out in GBK. Names are passed as the
// service sends them: to a visitor who is not logged in it masks other
// viewers' names ("用***"), and those masked names are read as they are.
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
        SuperChat,  // a paid message: name, text; read whatever its length
        Gift,       // name, text = gift name, count
        Enter,      // name
    };
    Kind kind = Chat;
    std::string name;
    std::string text;
    std::int32_t count = 0;
};

// The command name without the suffix some commands carry after ':'
// ("DANMU_MSG:4:0:2:2:2:0" is "DANMU_MSG").
std::string_view commandName(std::string_view cmd);

// Appends the events of one command to `out`: none for a command this program
// does not read or one that lacks the fields it needs, two or more for a gift
// message that carries several items. False only when `json` is not a JSON
// object within the nesting bound.
bool parseCommand(std::string_view json, std::vector<ChatCommand>& out);

// Standard base64 (padding optional, no white space); nothing on a byte
// outside the alphabet.
bool decodeBase64(std::string_view text, std::string& out);

}  // namespace bilibili
