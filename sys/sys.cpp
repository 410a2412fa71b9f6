#include "sys/sys.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace sys {

namespace {

std::string readExeDir() {
    std::string path(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) {
        return "./";
    }
    path.resize(static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

const std::string& exeDir() {
    static const std::string dir = readExeDir();
    return dir;
}

std::uint64_t currentThreadId() {
    return static_cast<std::uint64_t>(::syscall(SYS_gettid));
}

std::uint64_t tickCount() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleepMs(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool deleteFile(const std::string& nativePath) {
    return ::unlink(nativePath.c_str()) == 0 || errno == ENOENT;
}

bool ensureDirectory(const std::string& nativePath) {
    if (::mkdir(nativePath.c_str(), 0755) == 0) {
        return true;
    }
    struct stat st {};
    return ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& nativePath) {
    struct stat st {};
    return ::stat(nativePath.c_str(), &st) == 0;
}

}  // namespace sys
