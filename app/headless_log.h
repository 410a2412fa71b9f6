// The headless log on standard output: "status <prefix>:<text>" and
// "speak <text>", UTF-8, one line per event, flushed at once. Tests and
// scripts read these lines; their shape does not change.
//
// Threads: any (lines from different threads never interleave).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace app {

// The line for `kind` and a GBK text, without its line break. Line breaks
// inside the text become spaces so one event stays one line.
std::string headlessLine(std::string_view kind, std::string_view gbkText);

void writeHeadlessLine(std::FILE* out, std::string_view kind, std::string_view gbkText);

}  // namespace app
