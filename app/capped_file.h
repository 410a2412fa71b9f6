// Reading a text file that a person keeps, with a bound on how much of it is
// read: a runaway file (a log redirected onto it, a copy gone wrong) must
// not stall the start or fill memory.
//
// Threads: any.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace app {

// The file's bytes, or nothing when it cannot be opened. A file larger than
// `cap` gives its whole lines within the first `cap` bytes, and a message on
// standard error names the file and the cap.
std::optional<std::string> readCappedFile(const std::string& nativePath, std::size_t cap);

// Replaces the file with `content`, written beside it and renamed over it, so
// a full disk never leaves a half-written file in place of the old one and a
// reader sees the old or the new file whole. False when it failed; the old
// file is then left as it was.
bool replaceFile(const std::string& nativePath, const std::string& content);

}  // namespace app
