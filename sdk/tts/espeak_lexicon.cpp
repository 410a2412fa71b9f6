#include "sdk/tts/espeak_lexicon.h"

#include <espeak-ng/speak_lib.h>

#include <mutex>
#include <string>
#include <unordered_map>

namespace tts {

namespace {

// What the Mandarin dictionary says in place of a character it does not
// know, ahead of the code's digits. Other languages either know every
// ideograph they are given or say something of their own, so they are trusted.
constexpr std::string_view kMandarinUnknown = "@:";

std::string phonemesOf(std::string_view utf8) {
    const std::string text(utf8);  // the library reads up to a NUL
    std::string phonemes;
    const void* at = text.c_str();
    while (at) {
        const char* piece = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, 0);
        if (!piece) {
            break;
        }
        phonemes += piece;
    }
    return phonemes;
}

std::string utf8Of(char32_t c) {
    std::string utf8;
    if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (c >> 12));
    } else {
        utf8 += static_cast<char>(0xF0 | (c >> 18));
        utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
    return utf8;
}

}  // namespace

bool voiceKnowsIdeograph(std::string_view language, char32_t ideograph) {
    if (!language.starts_with("cmn") || ideograph < 0x800 || ideograph > 0x10FFFF) {
        return true;
    }
    static std::mutex lock;
    static std::unordered_map<char32_t, bool> known;
    std::lock_guard guard(lock);
    auto [it, inserted] = known.try_emplace(ideograph, true);
    if (inserted) {
        it->second = phonemesOf(utf8Of(ideograph)).rfind(kMandarinUnknown, 0) != 0;
    }
    return it->second;
}

bool selectVoice(const std::string& voice) {
    return espeak_SetVoiceByName(voice.c_str()) == EE_OK;
}

std::string phonemeTrace(std::string_view utf8) {
    return phonemesOf(utf8);
}

}  // namespace tts
