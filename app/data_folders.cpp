#include "app/data_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "app/config_file.h"
#include "app/filter_list.h"
#include "app/host_wording.h"
#include "app/mute_list.h"
#include "sys/sys.h"

namespace app {

namespace fs = std::filesystem;

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The host's own text files, copied to a user folder on its first use.
const char* const kSeededFiles[] = {kConfigFileName, kFilterFileName, kNicknameFileName, kWordFileName,
                                    kMuteFileName};

void seed(const fs::path& from, const fs::path& to) {
    for (const char* name : kSeededFiles) {
        std::error_code error;
        if (!fs::exists(to / name, error) && fs::is_regular_file(from / name, error)) {
            fs::copy_file(from / name, to / name, error);
        }
    }
}

}  // namespace

fs::path userBase(const std::string& xdgValue, const std::string& home, const char* homeRelative) {
    if (!xdgValue.empty() && fs::path(xdgValue).is_absolute()) {
        return xdgValue;
    }
    if (!home.empty() && fs::path(home).is_absolute()) {
        return fs::path(home) / homeRelative;
    }
    return {};
}

UserEnvironment processEnvironment() {
    return {variable("HOME"), variable("XDG_CONFIG_HOME"), variable("XDG_CACHE_HOME")};
}

fs::path userConfigDir(const UserEnvironment& env) {
    fs::path base = userBase(env.configHome, env.home, ".config");
    return base.empty() ? base : base / "sonaro";
}

fs::path userWavesDir(const UserEnvironment& env) {
    fs::path base = userBase(env.cacheHome, env.home, ".cache");
    return base.empty() ? base : base / "sonaro" / "waves";
}

bool canWriteIn(const fs::path& dir) {
    if (dir.empty()) {
        return false;
    }
    std::error_code error;
    fs::create_directories(dir, error);
    // Permissions alone do not tell: root ignores them, a read-only mount
    // does not, and a full disk refuses new files either way.
    const fs::path probe = dir / (".sonaro-probe-" + std::to_string(::getpid()));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

DataFolders chooseDataFolders(const fs::path& programDir, const UserEnvironment& env) {
    DataFolders folders;
    folders.portable = canWriteIn(programDir);
    if (folders.portable) {
        folders.files = programDir;
        folders.waves = programDir / "waves";
    } else {
        const fs::path config = userConfigDir(env);
        if (canWriteIn(config)) {
            seed(programDir, config);
            folders.files = config;
        } else {
            folders.files = programDir;
        }
        folders.waves = userWavesDir(env);
    }
    if (!canWriteIn(folders.waves)) {
        // A portable folder whose "waves" is not ours to write still lets the
        // user's cache take the speech files.
        const fs::path fallback = userWavesDir(env);
        if (folders.portable && canWriteIn(fallback)) {
            folders.waves = fallback;
        } else {
            folders.wavesWritable = false;
        }
    }
    if (folders.waves.empty()) {
        folders.waves = programDir / "waves";
    }
    return folders;
}

std::string withTrailingSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

void createIfMissing(const std::string& path) {
    if (!sys::fileExists(path)) {
        std::ofstream(path, std::ios::binary | std::ios::app);
    }
}

}  // namespace app
