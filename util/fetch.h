// Blocking HTTP GET through libcurl, used by every platform client for its room
// lookup. Keeps no shared state (one easy handle per call), so any thread may
// call it; it blocks the caller for the whole transfer.
#pragma once

#include <chrono>
#include <string>

namespace util {

// The request settings that differ between the platforms' lookups.
enum class FetchProfile {
    Douyu,    // Firefox agent, gzip/deflate accepted
    Panda,    // Chrome agent, gzip/deflate accepted
    Zhanqi,   // Firefox agent
    Longzhu,  // Firefox agent, "cookie.txt" in the current directory, optional referer
};

inline constexpr const char* kFirefoxAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";
inline constexpr const char* kChromeAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/44.0.2403.155 "
    "Safari/537.36";

inline constexpr std::chrono::milliseconds kFetchTimeout{10000};

// Body of the answer (content-decoded, whatever the HTTP status), or an empty
// string on any failure: no handle, name resolution, connection, timeout, more
// than five redirections, a broken transfer. `url` goes to libcurl unchanged
// (host and path without a scheme means plain HTTP). `referer` is used by the
// Longzhu profile only, and only when not empty.
std::string fetchPage(const std::string& url, FetchProfile profile, const std::string& referer = {},
                      std::chrono::milliseconds timeout = kFetchTimeout);

// libcurl write callback: appends the chunk to the std::string in `userdata`.
std::size_t writeToString(char* data, std::size_t size, std::size_t count, void* userdata);

}  // namespace util
