#include "app/host_environment.h"

#include <cstdlib>
#include <string_view>

#include "platforms/catalogue.h"

namespace app {

PlatformHosts hostsFromEnvironment() {
    PlatformHosts hosts;
    for (const platforms::HostVariable& variable : platforms::hostVariables()) {
        if (const char* value = std::getenv(variable.name.c_str())) {
            platforms::setHost(hosts, variable.name, value);
        }
    }
    const char* trace = std::getenv("SONARO_TRACE");
    hosts.trace = trace && std::string_view(trace) == "1";
    return hosts;
}

}  // namespace app
