#include "app/capped_file.h"

#include <cstdio>
#include <fstream>

namespace app {

std::optional<std::string> readCappedFile(const std::string& nativePath, std::size_t cap) {
    std::ifstream file(nativePath, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    // One byte past the cap tells a file of exactly `cap` bytes from a longer one.
    std::string text(cap + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > cap) {
        // A line cut in two could change its meaning or break the parse.
        const std::size_t lastBreak = text.rfind('\n', cap - 1);
        text.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
        std::fprintf(stderr, "sonaro: %s is larger than %zu bytes: only its first %zu bytes are read\n",
                     nativePath.c_str(), cap, text.size());
    }
    return text;
}

bool replaceFile(const std::string& nativePath, const std::string& content) {
    const std::string temporary = nativePath + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), nativePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace app
