// What a Chinese speech engine actually says for a line of chat: the text as
// a listener expects to hear it, not as it is typed. Symbols nobody reads
// aloud (~ * # @ and kin, emoji, box and arrow characters) fall silent, the
// few a Chinese reader does say become Chinese words, web addresses shrink to
// "链接", and a long run of one character is cut to four. The synthesiser
// would otherwise name such symbols in English.
//
// Pure; any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tts {

// Whether the synthesiser can pronounce a CJK ideograph. An unknown one is
// dropped rather than read out as a character code.
using IdeographCheck = std::function<bool(char32_t)>;

// The spoken form of a UTF-8 text, UTF-8; empty when nothing in it is
// pronounced (only symbols, punctuation or blanks). A malformed byte counts as
// a symbol. Linear in the text's length. An empty `sayable` keeps every
// ideograph.
std::string spokenForm(std::string_view utf8, const IdeographCheck& sayable = {});

}  // namespace tts
