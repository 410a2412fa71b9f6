// The muted viewers' file "屏蔽用户.txt" beside the filter list: one name per
// line, read like the filter list, matched exactly.
//
// Threads: any (plain functions); the dialog calls them on its own thread.
#pragma once

#include <string>
#include <unordered_set>

namespace app {

inline constexpr char kMuteFileName[] = "屏蔽用户.txt";  // UTF-8, as native paths are here

// The names of the file (GBK). Empty when the file cannot be read.
std::unordered_set<std::string> loadMutedNames(const std::string& nativePath);

// Appends a GBK name as a line of its own, in the file's encoding (as
// isUtf8ListText tells it), creating the file (GBK) when missing. Line breaks inside the name are dropped.
// False when it could not be written.
bool appendMutedName(const std::string& nativePath, const std::string& gbkName);

}  // namespace app
