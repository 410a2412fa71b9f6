#include "app/mute_list.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "app/capped_file.h"
#include "app/filter_list.h"
#include "sys/sys.h"
#include "util/text.h"

namespace app {

std::unordered_set<std::string> loadMutedNames(const std::string& nativePath) {
    std::vector<std::string> lines = loadFilterList(nativePath);
    return {std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end())};
}

bool removeMutedName(const std::string& nativePath, const std::string& gbkName) {
    if (gbkName.empty()) {
        return true;  // no line names nobody
    }
    std::ifstream in(nativePath, std::ios::binary);
    if (!in) {
        return !sys::fileExists(nativePath);
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    const bool utf8 = isUtf8ListText(content);
    const std::string name = utf8 ? util::localToUtf8(gbkName) : gbkName;
    std::string kept;
    kept.reserve(content.size());
    bool removed = false;
    for (std::size_t begin = 0; begin < content.size();) {
        std::size_t end = content.find('\n', begin);
        end = end == std::string::npos ? content.size() : end + 1;
        std::string_view line(content.data() + begin, end - begin);
        std::string_view word = line;
        if (begin == 0 && word.starts_with("\xEF\xBB\xBF")) {
            word.remove_prefix(3);
        }
        while (!word.empty() && (word.back() == '\n' || word.back() == '\r')) {
            word.remove_suffix(1);
        }
        word = word.substr(0, word.find('\0'));  // read that way too
        if (word == name) {
            removed = true;
            if (begin == 0 && line.starts_with("\xEF\xBB\xBF")) {
                kept += "\xEF\xBB\xBF";  // the encoding stays told
            }
        } else {
            kept += line;
        }
        begin = end;
    }
    if (!removed) {
        return true;
    }
    return replaceFile(nativePath, kept);
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
