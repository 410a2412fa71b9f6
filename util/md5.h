// MD5 digests as the services sign with them.
//
// Threads: a pure function; any thread.
#pragma once

#include <string>
#include <string_view>

namespace util {

// MD5 of `data` as 32 lower-case hex digits; empty when the digest fails.
std::string md5Hex(std::string_view data);

}  // namespace util
