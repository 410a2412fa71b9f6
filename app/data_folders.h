// Where the program keeps its files. A program folder it can write to is a
// portable install: settings, filter list and speech files stay beside the
// program. An install it cannot write to (for all users, under /opt) keeps
// them in the user's XDG base directories instead.
//
// Threads: any (nothing here is shared); the application calls it once at
// start-up, before the dialog exists.
#pragma once

#include <filesystem>
#include <string>

namespace app {

// The variables that decide the user's folders, as the process found them.
struct UserEnvironment {
    std::string home;        // $HOME
    std::string configHome;  // $XDG_CONFIG_HOME, may be empty
    std::string cacheHome;   // $XDG_CACHE_HOME, may be empty
};

UserEnvironment processEnvironment();

// The XDG base directory rule: `xdgValue` (an XDG_*_HOME variable) when it
// is absolute, else `home` / `homeRelative` when `home` is absolute, else
// empty (an unset variable is passed as empty).
std::filesystem::path userBase(const std::string& xdgValue, const std::string& home,
                               const char* homeRelative);

// "$XDG_CONFIG_HOME/sonaro", or "$HOME/.config/sonaro" when the variable is
// unset, empty or relative; empty when neither gives an absolute path.
std::filesystem::path userConfigDir(const UserEnvironment& env);

// "$XDG_CACHE_HOME/sonaro/waves", or "$HOME/.cache/sonaro/waves", likewise.
std::filesystem::path userWavesDir(const UserEnvironment& env);

struct DataFolders {
    std::filesystem::path files;  // the settings, the filter list
    std::filesystem::path waves;  // speech files
    bool portable = true;         // both beside the program
    bool wavesWritable = true;    // false: no speech file can be written anywhere
};

// Creates `dir` (and its parents) when missing, then creates and removes a
// file in it. True when that worked.
bool canWriteIn(const std::filesystem::path& dir);

// Chooses the folders for a program living in `programDir`, creating them as
// needed. Outside the program folder, the settings, filter and mute lists are first
// copied from the program folder when the user has none yet. When the
// user's settings folder cannot be made, the program folder's files are
// still read (saving then fails, and says so).
DataFolders chooseDataFolders(const std::filesystem::path& programDir, const UserEnvironment& env);

// `dir` with one trailing '/', so file names can be appended; empty stays empty.
std::string withTrailingSlash(std::string dir);

// Creates an empty file at `path` unless one exists, so an editor can open it.
void createIfMissing(const std::string& path);

}  // namespace app
