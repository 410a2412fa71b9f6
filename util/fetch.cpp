#include "util/fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string_view>

namespace util {

namespace {

// How long the transfer loop waits for socket activity before it looks at the
// abort flag again: the longest a close waits on a fetch.
constexpr int kAbortCheckMs = 25;

bool aborted(const std::atomic<bool>* flag) {
    return flag && flag->load(std::memory_order_acquire);
}

struct Transfer {
    std::string body;
    std::size_t cap = 0;
    const std::atomic<bool>* abort = nullptr;
    const std::atomic<bool>* abandon = nullptr;

    bool stopped() const { return aborted(abort) || aborted(abandon); }
};

// Returning less than the chunk fails the transfer: that is how a body over
// the cap ends before it is kept.
std::size_t appendCapped(char* data, std::size_t size, std::size_t count, void* userdata) {
    auto* transfer = static_cast<Transfer*>(userdata);
    const std::size_t length = size * count;
    if (length > transfer->cap - transfer->body.size()) {
        return 0;
    }
    transfer->body.append(data, length);
    return length;
}

// Also called while a large body streams in, between two polls of the loop.
int abortOnFlag(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(userdata)->stopped() ? 1 : 0;
}

// Drives one easy handle to its end on a multi handle of its own, so that the
// wait for the network is cut into short slices between which the abort flag
// is read; curl_easy_perform would sleep up to a second between checks.
CURLcode perform(CURL* curl, const Transfer& transfer) {
    CURLM* multi = curl_multi_init();
    if (!multi) {
        return CURLE_OUT_OF_MEMORY;
    }
    CURLcode outcome = CURLE_ABORTED_BY_CALLBACK;
    curl_multi_add_handle(multi, curl);
    while (!transfer.stopped()) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            outcome = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            CURLMsg* message = curl_multi_info_read(multi, &left);
            outcome = message && message->msg == CURLMSG_DONE ? message->data.result : CURLE_RECV_ERROR;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kAbortCheckMs, nullptr) != CURLM_OK) {
            outcome = CURLE_RECV_ERROR;
            break;
        }
    }
    curl_multi_remove_handle(multi, curl);
    curl_multi_cleanup(multi);
    return outcome;
}

bool isCookieLine(std::string_view line) {
    return !line.empty() && (line.front() != '#' || line.starts_with("#HttpOnly_"));
}

// "domain\tpath\tname" of a Netscape cookie line (fields 1, 3 and 6).
std::string keyOf(std::string_view line) {
    std::string_view fields[7];
    std::size_t n = 0;
    while (n < 7) {
        std::size_t tab = line.find('\t');
        fields[n++] = line.substr(0, tab);
        if (tab == std::string_view::npos) {
            break;
        }
        line.remove_prefix(tab + 1);
    }
    std::string key(fields[0]);
    key.append("\t").append(fields[2]).append("\t").append(fields[5]);
    return key;
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::vector<std::string> cookieKeys(const std::string& path) {
    std::vector<std::string> keys;
    for (const std::string& line : readLines(path)) {
        if (isCookieLine(line)) {
            keys.push_back(keyOf(line));
        }
    }
    return keys;
}

void pruneCookieFile(const std::string& path, const std::vector<std::string>& keepFirst) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return;
    }
    std::vector<std::string> lines = readLines(path);
    const auto cookieCount = static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [](const std::string& line) { return isCookieLine(line); }));
    if (cookieCount <= kCookieJarMaxCookies && size <= kCookieJarMaxBytes) {
        return;
    }
    const std::set<std::string> known(keepFirst.begin(), keepFirst.end());
    std::vector<bool> kept(lines.size(), false);
    std::size_t bytes = 0;
    std::size_t cookies = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isCookieLine(lines[i])) {
            kept[i] = true;
            bytes += lines[i].size() + 1;
        }
    }
    for (bool knownPass : {true, false}) {
        for (std::size_t i = 0; i < lines.size() && cookies < kCookieJarMaxCookies; ++i) {
            if (kept[i] || (known.count(keyOf(lines[i])) > 0) != knownPass ||
                bytes + lines[i].size() + 1 > kCookieJarMaxBytes) {
                continue;
            }
            kept[i] = true;
            bytes += lines[i].size() + 1;
            ++cookies;
        }
    }
    // Written aside and renamed over, so a crash leaves the old jar or the new
    // one, never half of one.
    const std::string temporary = path + ".prune";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (kept[i]) {
                out << lines[i] << '\n';
            }
        }
        if (!out.flush()) {
            std::filesystem::remove(temporary, ec);
            return;
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
    }
}

namespace {

struct Origin {
    std::string scheme;
    std::string host;
};

std::optional<Origin> originOf(const std::string& url) {
    CURLU* parsed = curl_url();
    if (!parsed) {
        return std::nullopt;
    }
    std::optional<Origin> origin;
    char* scheme = nullptr;
    char* host = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_DEFAULT_SCHEME) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        origin = Origin{scheme, host};
        std::transform(origin->host.begin(), origin->host.end(), origin->host.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(parsed);
    return origin;
}

// The cookie line belongs to the first request's host: it follows a
// redirection only there, and only as securely as it was first sent.
bool cookieMayGo(const Origin& first, const Origin& hop) {
    return hop.host == first.host && (hop.scheme == "https" || first.scheme == "http");
}

constexpr int kMaxRedirects = 5;

}  // namespace

FetchAnswer fetch(const std::string& url, const FetchOptions& options) {
    FetchAnswer answer;
    if (aborted(options.abort) || aborted(options.abandon)) {
        return answer;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        return answer;
    }
    Transfer transfer;
    transfer.cap = options.maxBodyBytes;
    transfer.abort = options.abort;
    transfer.abandon = options.abandon;
    curl_slist* headers = nullptr;
    for (const std::string& header : options.headers) {
        headers = curl_slist_append(headers, header.c_str());
    }
    std::vector<std::string> knownCookies;

    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (!options.userAgent.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERAGENT, options.userAgent.c_str());
    }
    if (!options.referer.empty()) {
        curl_easy_setopt(curl, CURLOPT_REFERER, options.referer.c_str());
    }
    if (!options.cookieFile.empty()) {
        knownCookies = cookieKeys(options.cookieFile);
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, options.cookieFile.c_str());
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, options.cookieFile.c_str());
    }
    if (!options.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
    }
    if (headers) {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }
    if (!options.acceptEncoding.empty()) {
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, options.acceptEncoding.c_str());
    }
    // Redirections are followed here, hop by hop, so that each hop decides
    // whether the cookie line may go with it.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendCapped);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortOnFlag);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    // Time-outs must not raise SIGALRM in a multi-threaded program.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // An abandoned name resolution is left to finish on its own thread
    // instead of being waited for when the handle goes.
    curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    const std::optional<Origin> first = originOf(url);
    std::string current = url;
    for (int hop = 0;; ++hop) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        const std::optional<Origin> here = originOf(current);
        const bool withCookie = !options.cookies.empty() && first && here && cookieMayGo(*first, *here);
        curl_easy_setopt(curl, CURLOPT_URL, current.c_str());
        curl_easy_setopt(curl, CURLOPT_COOKIE, withCookie ? options.cookies.c_str() : nullptr);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
        transfer.body.clear();
        if (perform(curl, transfer) != CURLE_OK) {
            break;
        }
        long status = 0;
        char* location = nullptr;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
        if (status >= 300 && status < 400 && location) {
            if (hop == kMaxRedirects) {
                break;
            }
            current = location;
            continue;
        }
        answer.ok = true;
        answer.status = status;
        answer.body = std::move(transfer.body);
        break;
    }
    curl_easy_cleanup(curl);  // writes the cookie jar
    curl_slist_free_all(headers);
    if (!options.cookieFile.empty()) {
        pruneCookieFile(options.cookieFile, knownCookies);
    }
    return answer;
}

std::string fetchPage(const std::string& url, const FetchOptions& options) {
    FetchAnswer answer = fetch(url, options);
    return answer.ok ? std::move(answer.body) : std::string();
}

}  // namespace util
