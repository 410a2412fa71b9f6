#include "app/mute_list.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "app/filter_list.h"
#include "util/text.h"

namespace app {

std::unordered_set<std::string> loadMutedNames(const std::string& nativePath) {
    std::vector<std::string> lines = loadFilterList(nativePath);
    return {std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end())};
}

FileStamp fileStamp(const std::string& nativePath) {
    struct stat info {};
    if (::stat(nativePath.c_str(), &info) != 0) {
        return {};
    }
    return {true, static_cast<std::uint64_t>(info.st_ino), static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

bool SettledChange::poll(const FileStamp& now) {
    const bool settled = now == seen_;
    seen_ = now;
    if (!settled || now == read_) {
        return false;
    }
    read_ = now;
    return true;
}

bool appendMutedName(const std::string& nativePath, const std::string& gbkName) {
    std::string name;
    for (char c : gbkName) {
        if (c != '\r' && c != '\n' && c != '\0') {
            name += c;
        }
    }
    if (name.empty()) {
        return false;
    }
    std::string existing;
    {
        std::ifstream file(nativePath, std::ios::binary);
        existing.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const bool utf8 = isUtf8ListText(existing);
    std::string line = existing.empty() || existing.back() == '\n' ? "" : "\r\n";
    line += utf8 ? util::localToUtf8(name) : name;
    line += "\r\n";
    std::ofstream file(nativePath, std::ios::binary | std::ios::app);
    file.write(line.data(), static_cast<std::streamsize>(line.size()));
    file.close();
    return static_cast<bool>(file);
}

}  // namespace app
