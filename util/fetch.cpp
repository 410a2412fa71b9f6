#include "util/fetch.h"

#include <curl/curl.h>

namespace util {

std::size_t writeToString(char* data, std::size_t size, std::size_t count, void* userdata) {
    static_cast<std::string*>(userdata)->append(data, size * count);
    return size * count;
}

std::string fetchPage(const std::string& url, FetchProfile profile, const std::string& referer,
                      std::chrono::milliseconds timeout) {
    std::string result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        return result;
    }
    const char* agent = profile == FetchProfile::Panda ? kChromeAgent : kFirefoxAgent;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent);
    if (profile == FetchProfile::Longzhu) {
        if (!referer.empty()) {
            curl_easy_setopt(curl, CURLOPT_REFERER, referer.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "cookie.txt");
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, "cookie.txt");
    }
    if (profile == FetchProfile::Douyu || profile == FetchProfile::Panda) {
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    }
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeToString);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result);
    // Timeouts must not raise SIGALRM in a multi-threaded program.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (curl_easy_perform(curl) != CURLE_OK) {
        result.clear();
    }
    curl_easy_cleanup(curl);
    return result;
}

}  // namespace util
