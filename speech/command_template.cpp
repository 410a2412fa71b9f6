#include "speech/command_template.h"

#include <algorithm>
#include <array>

namespace speech {

namespace {

constexpr std::array<const char*, 16> kVoiceNames{
    "小燕", "燕平", "宇峰", "晓婧", "唐老鸭", "许小宝", "楠楠", "晓梦",
    "晓琳", "晓倩", "晓蓉", "小坤", "小强",   "晓美",   "大龙", "小艾",
};

bool isEscapable(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

}  // namespace

std::optional<std::vector<std::string>> splitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size() && isEscapable(line[i + 1])) {
                current += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
        } else if (c == '"') {
            quoted = true;
            inArgument = true;  // "" is an empty argument
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

std::vector<std::string> fillPlaceholders(const std::vector<std::string>& arguments,
                                          const Placeholders& values) {
    const std::array<std::pair<std::string_view, std::string>, 4> table{{
        {"{wav}", values.wav},
        {"{voice}", values.voice},
        {"{speed}", std::to_string(values.speed)},
        {"{volume}", std::to_string(values.volume)},
    }};
    std::vector<std::string> filled;
    filled.reserve(arguments.size());
    for (const auto& argument : arguments) {
        std::string out;
        std::size_t at = 0;
        while (at < argument.size()) {
            bool replaced = false;
            if (argument[at] == '{') {
                for (const auto& [name, value] : table) {
                    if (argument.compare(at, name.size(), name) == 0) {
                        out += value;
                        at += name.size();
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced) {
                out += argument[at++];
            }
        }
        filled.push_back(std::move(out));
    }
    return filled;
}

const char* voiceDisplayName(int voiceIndex) {
    if (voiceIndex < 0 || voiceIndex >= static_cast<int>(kVoiceNames.size())) {
        return kVoiceNames[0];
    }
    return kVoiceNames[static_cast<std::size_t>(voiceIndex)];
}

int playbackVolume(std::string_view commandUtf8, int volume) {
    const auto arguments = splitCommandLine(commandUtf8);
    const bool takesVolume =
        arguments && std::any_of(arguments->begin(), arguments->end(),
                                 [](const auto& a) { return a.find("{volume}") != std::string::npos; });
    return takesVolume ? 100 : volume;
}

}  // namespace speech
