#include "util/host.h"

#include <cstdlib>

#include "util/text.h"

namespace util {

std::string hostSetting(const char* environmentVariable, const char* defaultHost) {
    const char* value = std::getenv(environmentVariable);
    return value && *value ? std::string(value) : std::string(defaultHost);
}

void splitHostPort(const std::string& value, std::string& host, int& port) {
    auto colon = value.rfind(':');
    if (colon == std::string::npos) {
        host = value;
        return;
    }
    host = value.substr(0, colon);
    int parsed = parseDecimal(value.substr(colon + 1));
    if (parsed > 0 && parsed < 65536) {
        port = parsed;
    }
}

}  // namespace util
