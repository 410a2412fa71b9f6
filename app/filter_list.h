// The filter list "过滤列表.txt": GBK words, one per line, that keep a chat
// line from being spoken when its normalised text contains one of them.
//
// Threads: any (pure functions); the dialog calls them on its own thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

inline constexpr char kFilterFileName[] = "过滤列表.txt";  // UTF-8, as native paths are here

// Longest word a line may hold, in bytes; longer lines are skipped.
inline constexpr std::size_t kMaxFilterLine = 1023;

// Only this much of a filter list is read.
inline constexpr std::size_t kFilterFileCap = 16u << 20;

// Words of the file at `nativePath` in file order, as GBK: lines taken byte
// for byte (CR LF read as LF), empty lines and over-long lines skipped. The
// file may be UTF-8 (with or without a byte-order mark) or GBK. Empty when the
// file cannot be read; a file over kFilterFileCap gives its whole lines
// within the cap, with a message on standard error.
std::vector<std::string> loadFilterList(const std::string& nativePath);

// True when a list file's content is read as UTF-8 (a byte-order mark, or
// valid UTF-8 that is not plain ASCII); otherwise it is GBK.
bool isUtf8ListText(std::string_view content);

// The copy of a GBK chat text that words are matched against: full-width
// ASCII folded to ASCII, GBK punctuation and symbols (row A1) dropped, then
// every ASCII character but digits and letters dropped. Double-byte characters
// stay whole in both steps.
std::string normalizeForFilter(std::string_view gbk);

// True when the normalised `text` contains one of `words`, byte for byte.
bool isFiltered(const std::vector<std::string>& words, std::string_view text);

}  // namespace app
