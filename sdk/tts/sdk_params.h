// Parsing of the SDK's parameter texts and the voice table behind the voice
// names. Pure functions; any thread.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tts {

// "key = value, key = value": blanks around keys and values are dropped.
// nullopt when a pair has no '=' or an empty key; an empty text is no pairs.
std::optional<std::vector<std::pair<std::string, std::string>>> parseParamText(std::string_view text);

struct LoginParams {
    std::string appId;    // 8 lower-case hex digits
    std::string workDir;  // empty when not given
};

// 0, or an SdkError code when the text is malformed, lacks a well-formed
// appid, or names a work_dir that is not a directory.
int parseLoginParams(std::string_view text, LoginParams& out);

// One entry of the voice table: the SDK's voice name and the synthesiser
// voice that stands behind it.
struct VoiceSpec {
    std::string_view name;      // as it appears in voice_name
    std::string_view language;  // the synthesiser's voice: "cmn-latn-pinyin" or "yue"
    std::string_view variant;   // voice variant giving the entry its character
    int pitch;                  // synthesiser pitch (0..100) at the session's normal pitch of 50
};

// Synthesiser pitch (0..100) for a session pitch (0..100): the voice's own
// pitch moved by the session's offset from 50.
int synthPitch(const VoiceSpec& voice, int sessionPitch);

std::span<const VoiceSpec> voiceTable();
const VoiceSpec* findVoice(std::string_view name);

enum class TextEncoding { Gbk, Utf8 };

struct SessionParams {
    const VoiceSpec* voice = nullptr;  // never null after a successful parse
    TextEncoding encoding = TextEncoding::Gbk;
    int sampleRate = 16000;  // 8000 or 16000
    int speed = 50;          // 0..100
    int volume = 100;        // 0..100; 100 is the voice's normal loudness
    int pitch = 50;          // 0..100; 50 is the voice's normal pitch
};

// 0, or an SdkError code for a malformed text, an unknown voice, an
// unsupported encoding or rate, or a numeric value out of range. Keys the
// synthesiser has no use for ("rdn" and unknown ones) are accepted.
int parseSessionParams(std::string_view text, SessionParams& out);

// Speech rate in words per minute for a speed of 0..100: strictly increasing,
// 70 gives the synthesiser's natural pace.
int speechRateForSpeed(int speed);

}  // namespace tts
