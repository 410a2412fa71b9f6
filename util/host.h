// Host settings are "host[:port]" texts.
//
// Pure; any thread.
#pragma once

#include <string>

namespace util {

// Splits "host[:port]" into its parts; `port` is left unchanged when none is given.
void splitHostPort(const std::string& value, std::string& host, int& port);

}  // namespace util
