#include "util/host.h"

#include "util/text.h"

namespace util {

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
