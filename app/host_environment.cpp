#include "app/host_environment.h"

#include <cstdlib>

namespace app {

PlatformHosts hostsFromEnvironment() {
    PlatformHosts hosts;
    for (const HostVariable& variable : hostVariables()) {
        if (const char* value = std::getenv(variable.name)) {
            setHost(hosts, variable.name, value);
        }
    }
    return hosts;
}

}  // namespace app
