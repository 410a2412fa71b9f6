// Building URL paths from what a host typed.
//
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace util {

// Percent-encoding for one path segment: letters, digits, '-', '_' and '.'
// stay, every other byte becomes "%XX", so that a typed room name can never
// leave its segment of the URL.
std::string urlEncodeSegment(std::string_view text);

}  // namespace util
