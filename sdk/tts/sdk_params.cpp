#include "sdk/tts/sdk_params.h"

#include <algorithm>

#include <sys/stat.h>

#include <array>
#include <charconv>

#include "sdk/tts/speech_sdk.h"

namespace tts {

namespace {

std::string_view trimBlanks(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Whole decimal number within [low, high]; nullopt otherwise.
std::optional<int> parseNumber(std::string_view text, int low, int high) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

bool isAppId(std::string_view id) {
    if (id.size() != 8) {
        return false;
    }
    for (char c : id) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// One entry per voice name (the dialog's list has two entries for "xiaoyan").
// The Mandarin entries stand on the Mandarin voice that reads Latin text as
// pinyin: the plain "cmn" voice knows only a short list of characters and
// spells every other one as English pinyin with its tone digit.
// Female, male, child and cartoon entries get variants that differ in pitch
// range and formants; the two Cantonese entries use the Cantonese voice. The
// base pitches step the median pitches of the names apart by about 7 % each,
// so no two names sound alike even where their variants are close.
constexpr std::array<VoiceSpec, 15> kVoices{{
    {"xiaoyan", "cmn-latn-pinyin", "f2", 61},
    {"yufeng", "cmn-latn-pinyin", "m3", 48},
    {"jinger", "cmn-latn-pinyin", "f4", 55},
    {"donaldduck", "cmn-latn-pinyin", "Tweaky", 66},
    {"baybyxu", "cmn-latn-pinyin", "zac", 50},
    {"nannan", "cmn-latn-pinyin", "anika", 64},
    {"xiaomeng", "cmn-latn-pinyin", "f1", 49},
    {"xiaolin", "cmn-latn-pinyin", "f3", 65},
    {"xiaoqian", "cmn-latn-pinyin", "f5", 70},
    {"xiaorong", "cmn-latn-pinyin", "steph", 57},
    {"xiaokun", "cmn-latn-pinyin", "m1", 45},
    {"xiaoqiang", "cmn-latn-pinyin", "m2", 58},
    {"xiaomei", "yue", "f2", 46},
    {"dalong", "yue", "m3", 53},
    {"aisxa", "cmn-latn-pinyin", "belinda", 65},
}};

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> parseParamText(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (trimBlanks(text).empty()) {
        return pairs;
    }
    while (true) {
        auto comma = text.find(',');
        std::string_view pair = text.substr(0, comma);
        auto equals = pair.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view key = trimBlanks(pair.substr(0, equals));
        std::string_view value = trimBlanks(pair.substr(equals + 1));
        if (key.empty()) {
            return std::nullopt;
        }
        pairs.emplace_back(std::string(key), std::string(value));
        if (comma == std::string_view::npos) {
            return pairs;
        }
        text.remove_prefix(comma + 1);
    }
}

int parseLoginParams(std::string_view text, LoginParams& out) {
    auto pairs = parseParamText(text);
    if (!pairs) {
        return kSdkInvalidParams;
    }
    LoginParams parsed;
    for (const auto& [key, value] : *pairs) {
        if (key == "appid") {
            parsed.appId = value;
        } else if (key == "work_dir") {
            parsed.workDir = value;
        }
    }
    if (!isAppId(parsed.appId)) {
        return kSdkInvalidValue;
    }
    if (!parsed.workDir.empty()) {
        struct stat st {};
        if (::stat(parsed.workDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return kSdkInvalidValue;
        }
    }
    out = std::move(parsed);
    return kSdkOk;
}

int synthPitch(const VoiceSpec& voice, int sessionPitch) {
    return std::clamp(voice.pitch + sessionPitch - 50, 0, 100);
}

std::span<const VoiceSpec> voiceTable() {
    return kVoices;
}

const VoiceSpec* findVoice(std::string_view name) {
    for (const auto& voice : kVoices) {
        if (voice.name == name) {
            return &voice;
        }
    }
    return nullptr;
}

int parseSessionParams(std::string_view text, SessionParams& out) {
    auto pairs = parseParamText(text);
    if (!pairs) {
        return kSdkInvalidParams;
    }
    SessionParams parsed;
    parsed.voice = &kVoices[0];
    for (const auto& [key, value] : *pairs) {
        if (key == "voice_name") {
            parsed.voice = findVoice(value);
            if (!parsed.voice) {
                return kSdkUnknownVoice;
            }
        } else if (key == "text_encoding") {
            if (value == "gb2312" || value == "gbk" || value == "GB2312" || value == "GBK") {
                parsed.encoding = TextEncoding::Gbk;
            } else if (value == "utf8" || value == "UTF8" || value == "utf-8" || value == "UTF-8") {
                parsed.encoding = TextEncoding::Utf8;
            } else {
                return kSdkUnsupportedEncoding;
            }
        } else if (key == "sample_rate") {
            auto rate = parseNumber(value, 8000, 16000);
            if (!rate || (*rate != 8000 && *rate != 16000)) {
                return kSdkInvalidValue;
            }
            parsed.sampleRate = *rate;
        } else if (key == "speed" || key == "volume" || key == "pitch") {
            auto number = parseNumber(value, 0, 100);
            if (!number) {
                return kSdkInvalidValue;
            }
            (key == "speed" ? parsed.speed : key == "volume" ? parsed.volume : parsed.pitch) = *number;
        }
    }
    out = parsed;
    return kSdkOk;
}

int speechRateForSpeed(int speed) {
    constexpr int kSlowest = 80, kNatural = 175, kFastest = 350;
    if (speed <= 0) {
        return kSlowest;
    }
    if (speed >= 100) {
        return kFastest;
    }
    if (speed <= 70) {
        return kSlowest + (speed * (kNatural - kSlowest) + 35) / 70;
    }
    return kNatural + ((speed - 70) * (kFastest - kNatural) + 15) / 30;
}

}  // namespace tts
