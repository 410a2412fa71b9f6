// The browser user agents the platforms' web pages and APIs were read with.
#pragma once

namespace platforms {

inline constexpr const char* kFirefoxAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";
inline constexpr const char* kChromeAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/44.0.2403.155 "
    "Safari/537.36";

}  // namespace platforms
