#include "app/mute_list.h"

#include <fstream>
#include <iterator>

#include "app/filter_list.h"
#include "util/text.h"

namespace app {

std::unordered_set<std::string> loadMutedNames(const std::string& nativePath) {
    std::vector<std::string> lines = loadFilterList(nativePath);
    return {std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end())};
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
