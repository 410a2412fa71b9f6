// The muted viewers' file "屏蔽用户.txt" beside the filter list: one name per
// line, read like the filter list, matched exactly.
//
// Threads: any (plain functions); the dialog calls them on its own thread.
#pragma once

#include <cstdint>
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

// Rewrites the file without the lines naming `gbkName`, every other line
// kept byte for byte (a broken one too), in its encoding; the file is
// replaced whole, so a reader never sees it half written. True when the name
// is no longer in the file (also when the file is missing).
bool removeMutedName(const std::string& nativePath, const std::string& gbkName);

// What stat tells of a file; two equal stamps mean the file is unchanged.
struct FileStamp {
    bool exists = false;
    std::uint64_t inode = 0;  // an editor that saves by renaming gives a new one
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const std::string& nativePath);

// Decides when the host's edit of a watched file is read: once the file
// changed since the last read and then stayed as it was for a whole poll.
// A file rewritten without pause is read when it settles, never half
// written and never more than once a poll, so it costs nothing meanwhile.
class SettledChange {
  public:
    explicit SettledChange(FileStamp read = {}) : read_(read), seen_(read) {}
    // Called once a poll with the file's stamp now; true: read it now.
    bool poll(const FileStamp& now);

  private:
    FileStamp read_;  // when it was last read
    FileStamp seen_;  // at the previous poll
};

}  // namespace app
