// Which ideographs the synthesiser's current voice can pronounce. The
// Mandarin dictionary reads one it lacks (some radicals, rare and
// supplementary-plane characters) as a character code, which no listener
// understands; such characters are better left silent.
//
// Threads: only where the synthesiser may be used (it is process-wide), with
// the voice of `language` already chosen.
#pragma once

#include <string>
#include <string_view>

namespace tts {

// True when the current voice has a reading of its own for `ideograph`.
// Answers are remembered; the first question about a character
// costs one phoneme translation (a few microseconds).
bool voiceKnowsIdeograph(std::string_view language, char32_t ideograph);

// For checks and measurements, on an initialised synthesiser: chooses the
// current voice (a synthesiser voice name, "+variant" allowed), and gives the
// phoneme trace of a UTF-8 text in it, where a switch to another language
// shows as "(en)" and the like.
bool selectVoice(const std::string& voice);
std::string phonemeTrace(std::string_view utf8);

}  // namespace tts
