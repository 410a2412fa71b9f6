// Platform host settings: each platform's hosts come from an environment
// variable, with the platform's historic host as the default. A value may
// carry ":port". Read on every call, so a test or the demo can point a client
// at a simulated room by setting the variable before the client starts.
#pragma once

#include <string>

namespace util {

std::string hostSetting(const char* environmentVariable, const char* defaultHost);

// Splits "host[:port]" into its parts; `port` is left unchanged when none is given.
void splitHostPort(const std::string& value, std::string& host, int& port);

}  // namespace util
