#include "core/platform_hosts.h"

std::string PlatformHosts::value(std::string_view variable, std::string_view fallback) const {
    auto found = values.find(variable);
    return std::string(found == values.end() ? fallback : std::string_view(found->second));
}
