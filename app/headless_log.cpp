#include "app/headless_log.h"

#include <mutex>

#include "util/text.h"

namespace app {

std::string headlessLine(std::string_view kind, std::string_view gbkText) {
    std::string line(kind);
    line += ' ';
    for (char c : util::localToUtf8(gbkText)) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return line;
}

void writeHeadlessLine(std::FILE* out, std::string_view kind, std::string_view gbkText) {
    static std::mutex mutex;
    std::string line = headlessLine(kind, gbkText);
    line += '\n';
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
}

}  // namespace app
