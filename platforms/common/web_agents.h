// The browser user agents the platforms' web pages and APIs were read with.
#pragma once

namespace platforms {

inline constexpr const char* kFirefoxAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";
inline constexpr const char* kChromeAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/44.0.2403.155 "
    "Safari/537.36";

// The living clients' identity on every request and WebSocket upgrade: a
// current stable desktop browser, since the services turn away old or odd
// agents. The settings key 浏览器标识 replaces it.
inline constexpr const char* kBrowserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/143.0.0.0 "
    "Safari/537.36";

}  // namespace platforms
