// Blocking HTTP GET through libcurl, used by every platform client for its room
// lookups and polls. Keeps no shared state (one easy handle per call), so any
// thread may call it; it blocks the caller for the whole transfer, but never
// longer than the options' time-out, and ends within a few tens of
// milliseconds once the abort flag is raised.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace util {

inline constexpr std::chrono::milliseconds kFetchTimeout{10000};

// The largest real room page is a few hundred kilobytes; an answer that
// inflates past this is hostile or broken, and keeping it would only cost
// memory.
inline constexpr std::size_t kFetchBodyCap = 8 * 1024 * 1024;

// A cookie file is pruned back to these bounds after every transfer that
// writes it: cookies it held before the transfer are kept first, newly set
// ones fill the room that is left. libcurl sends at most 150 cookies and
// 8,190 bytes in one Cookie header, longest names first, so a larger jar
// would keep a login cookie that a flood of long names then crowds out of
// every request. A jar file within these bounds always fits the header.
inline constexpr std::size_t kCookieJarMaxCookies = 150;
inline constexpr std::size_t kCookieJarMaxBytes = 8 * 1024;

// What a request sends and how long it may take. Empty texts are not sent.
struct FetchOptions {
    std::string userAgent;
    // libcurl's accept-encoding: the encodings are announced and the body is
    // decoded before it is returned.
    std::string acceptEncoding;
    // Read before the request and written back after it (libcurl's cookie
    // file and jar); relative paths are taken from the current directory.
    std::string cookieFile;
    std::string referer;
    // Sent as the Cookie header, e.g. "name=value; other=value".
    std::string cookies;
    // Further request headers, each "Name: value".
    std::vector<std::string> headers;
    std::chrono::milliseconds timeout = kFetchTimeout;
    // Largest body (after content decoding) accepted; a longer one fails the fetch.
    std::size_t maxBodyBytes = kFetchBodyCap;
    // Raised when the program closes: a transfer under way ends at once, and
    // one that starts afterwards does not begin.
    const std::atomic<bool>* abort = nullptr;
    // A second flag with the same effect: the requester's own, e.g. raised
    // when the client that asked goes away.
    const std::atomic<bool>* abandon = nullptr;
    // A PEM file of CA certificates to trust instead of the system's store;
    // for tests with a certificate of their own (SONARO_TEST_CA_FILE).
    std::string caFile;
};

struct FetchAnswer {
    bool ok = false;  // a whole answer arrived, whatever its status
    long status = 0;  // the HTTP status of the last answer
    std::string body;
};

// The answer to a GET of `url`, following up to five redirections. `cookies`
// go only to the host of `url` and never down from https to http: a
// redirection elsewhere does not carry the host's login away.
FetchAnswer fetch(const std::string& url, const FetchOptions& options);

// Body of fetch's answer (content-decoded, whatever the HTTP status), or an empty
// string on any failure: no handle, name resolution, connection, time-out,
// more than five redirections, a broken transfer, a body over the cap, an
// abort. `url` goes to libcurl unchanged (host and path without a scheme means
// plain HTTP; https:// URLs are verified against the system's CA store).
std::string fetchPage(const std::string& url, const FetchOptions& options);

// Cuts the Netscape-format cookie file at `path` back to the jar's bounds.
// Cookies named in `keepFirst` (one "domain\tpath\tname" key each, as
// cookieKeys returns them) are kept before any other. Comment lines stay.
void pruneCookieFile(const std::string& path, const std::vector<std::string>& keepFirst);

// The "domain\tpath\tname" keys of the cookies in the file at `path`, in file
// order; empty when it cannot be read.
std::vector<std::string> cookieKeys(const std::string& path);

}  // namespace util
