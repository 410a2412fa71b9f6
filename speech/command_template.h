// The host's command line for an external speech engine: split into arguments
// the way a desktop entry's Exec line is, then placeholders filled in inside
// each argument. No shell ever sees it, so nothing in a text or an argument is
// interpreted.
//
// Threads: any; pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace speech {

// Splits at unquoted spaces and tabs. Inside double quotes spaces are kept
// and a backslash takes the next '"', '`', '$' or '\' literally. Nothing when
// a quote is left open. UTF-8 passes through untouched.
std::optional<std::vector<std::string>> splitCommandLine(std::string_view line);

struct Placeholders {
    std::string wav;    // native path of the file to write
    std::string voice;  // the voice list entry's name
    int speed = 70;
    int volume = 100;
};

// Replaces {wav}, {voice}, {speed} and {volume} in every argument; other text
// in braces stays as written. The values are inserted once, never rescanned.
std::vector<std::string> fillPlaceholders(const std::vector<std::string>& arguments,
                                          const Placeholders& values);

// The gain playback applies (0..100) when the host's command line is
// `commandUtf8` and the volume setting is `volume`: a command that takes
// {volume} has set the loudness of its file already, so playback leaves it
// whole (applied twice, 50 % would be heard as 25 %).
int playbackVolume(std::string_view commandUtf8, int volume);

// The name of a voice list entry as the host sees it ("小燕"), UTF-8; the
// first entry's for an index out of range.
const char* voiceDisplayName(int voiceIndex);

}  // namespace speech
