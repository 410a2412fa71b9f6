#include "util/fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "sim/http_server.h"
#include "sim/https_server.h"
#include "temp_dir.h"

using util::FetchOptions;
using util::fetchPage;
using namespace std::chrono_literals;

namespace {

// One server for every case: the path picks the answer, the last request is kept.
struct PageServer {
    std::mutex mutex;
    sim::HttpRequest last;
    sim::HttpServer server{[this](const sim::HttpRequest& r) {
        {
            std::lock_guard lock(mutex);
            last = r;
        }
        sim::HttpResponse response;
        response.body = "page body";
        if (r.target.starts_with("/hop/")) {  // "/hop/N" redirects to "/hop/N-1"
            int n = std::stoi(r.target.substr(5));
            return n == 0 ? response : sim::HttpResponse::redirect("/hop/" + std::to_string(n - 1));
        }
        response.gzip = r.header("accept-encoding").find("gzip") != std::string::npos;
        response.headers["Set-Cookie"] = "visitor=abc123; Path=/";
        response.status = r.target == "/missing" ? 404 : 200;
        response.truncate = r.target == "/broken";
        response.stall = r.target == "/stall";
        response.closeWithoutAnswer = r.target == "/hangup";
        response.silent = r.target == "/silent";
        if (response.truncate || response.stall) {
            response.body = std::string(4000, 'x');
        }
        if (r.target.starts_with("/size/")) {  // "/size/N": N bytes, sent in one piece or ten
            response.body = std::string(std::stoul(r.target.substr(6)), 'y');
        }
        if (r.target.starts_with("/tenfold/")) {
            response.body = std::string(std::stoul(r.target.substr(9)) / 10, 'y');
            response.repeat = 10;
        }
        return response;
    }};

    std::string url(const std::string& path) const { return server.hostPort() + path; }
    sim::HttpRequest request() {
        std::lock_guard lock(mutex);
        return last;
    }
};

FetchOptions withAgent(const char* agent, const char* encodings = "") {
    FetchOptions options;
    options.userAgent = agent;
    options.acceptEncoding = encodings;
    return options;
}

}  // namespace

TEST(FetchPage, SendsWhatTheOptionsSayAndDecodesGzip) {
    PageServer pages;
    FetchOptions extras = withAgent("agent/1");
    extras.referer = "http://star.example/9";
    extras.cookies = "SESSDATA=x; bili=2";
    extras.headers = {"Origin: https://live.example", "X-Probe: 1"};
    struct Case {
        const char* what;
        FetchOptions options;
        std::vector<std::pair<const char*, const char*>> headers;
        bool gzip;
    };
    const Case cases[] = {
        {"firefox, encodings",
         withAgent("Mozilla/5.0 firefox", "gzip, deflate"),
         {{"user-agent", "Mozilla/5.0 firefox"}, {"referer", ""}, {"cookie", ""}},
         true},
        {"no encodings", withAgent("Mozilla/5.0 chrome"), {{"user-agent", "Mozilla/5.0 chrome"}}, false},
        {"nothing set", FetchOptions{}, {{"user-agent", ""}, {"referer", ""}}, false},
        {"referer, cookie line, headers",
         extras,
         {{"referer", "http://star.example/9"},
          {"cookie", "SESSDATA=x; bili=2"},
          {"origin", "https://live.example"},
          {"x-probe", "1"}},
         false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fetchPage(pages.url("/room/1"), c.options), "page body") << c.what;
        auto r = pages.request();
        for (const auto& [name, value] : c.headers) {
            EXPECT_EQ(r.header(name), value) << c.what << ": " << name;
        }
        EXPECT_EQ(r.header("accept-encoding").find("gzip") != std::string::npos, c.gzip) << c.what;
    }
}

TEST(FetchPage, GivesErrorBodiesButNothingOnBrokenOrOversizedTransfers) {
    PageServer pages;
    const std::pair<std::string, std::string> cases[] = {
        {"/hop/5", "page body"},
        {"/hop/6", ""},  // one redirection too many
        {"/missing", "page body"},
        {"/broken", ""},
        {"/hangup", ""},
        {"/stall", ""},  // half the body arrived before the stall; none of it is returned
        {"/size/4000", std::string(4000, 'y')},
        {"/size/4001", ""},  // one byte over the cap
        {"/tenfold/4000", std::string(4000, 'y')},
        {"/tenfold/4010", ""},
    };
    FetchOptions options;
    options.timeout = 300ms;
    options.maxBodyBytes = 4000;
    for (const auto& [path, body] : cases) {
        EXPECT_EQ(fetchPage(pages.url(path), options), body) << path;
    }
    std::string deadHost = pages.url("/");
    pages.server.stop();
    EXPECT_EQ(fetchPage(deadHost, FetchOptions{}), "");
}

TEST(FetchPage, AbortEndsAFetchTheServerNeverAnswers) {
    PageServer pages;
    std::atomic<bool> abort{true};
    FetchOptions options;
    options.abort = &abort;
    EXPECT_EQ(fetchPage(pages.url("/silent"), options), "");
    EXPECT_EQ(pages.server.requests(), 0) << "a fetch after the abort must not begin";

    abort = false;
    std::chrono::steady_clock::time_point raised;
    std::thread closer([&] {
        while (pages.server.requests() == 0) {
            std::this_thread::sleep_for(1ms);
        }
        raised = std::chrono::steady_clock::now();
        abort = true;
    });
    EXPECT_EQ(fetchPage(pages.url("/silent"), options), "");
    auto waited = std::chrono::steady_clock::now() - raised;
    closer.join();
    std::printf("fetch returned %.1f ms after the abort\n",
                std::chrono::duration<double, std::milli>(waited).count());
    EXPECT_LT(waited, 3s);
}

// The host's login goes where it was sent and no further: not to another host
// and not down from https to http. The https pages are trusted only through
// the test's CA file.
TEST(FetchPage, TheCookieStaysWithItsHost) {
    std::mutex mutex;
    std::map<std::string, std::string> cookieAt;  // scheme and path -> Cookie header
    std::atomic<std::uint16_t> plainPort{0};
    auto serve = [&](std::string scheme) {
        return [&, scheme](const sim::HttpRequest& r) {
            std::lock_guard lock(mutex);
            cookieAt[scheme + r.target] = r.header("cookie");
            const std::string elsewhere = "http://localhost:" + std::to_string(plainPort.load());
            const std::map<std::string, std::string> redirects = {{"/same", "/kept"},
                                                                  {"/elsewhere", elsewhere + "/landed"},
                                                                  {"/down", elsewhere + "/downgraded"}};
            sim::HttpResponse page;
            page.body = "page";
            auto to = redirects.find(r.target);
            return to == redirects.end() ? page : sim::HttpResponse::redirect(to->second);
        };
    };
    sim::HttpServer plain(serve("http:"));
    plainPort = plain.port();
    const sim::TlsIdentity identity = sim::selfSignedIdentity();
    sim::HttpsServer secure(serve("https:"), identity);
    testing_support::TempDir dir;
    std::ofstream(dir.file("ca.pem")) << identity.certificatePem;
    FetchOptions options;
    options.cookies = "SESSDATA=secret";
    options.caFile = dir.file("ca.pem");

    for (const std::string path : {"/same", "/elsewhere"}) {
        EXPECT_EQ(fetchPage("http://127.0.0.1:" + std::to_string(plainPort.load()) + path, options), "page")
            << path;
    }
    for (const std::string path : {"/page", "/down"}) {
        EXPECT_EQ(fetchPage(secure.base() + path, options), "page") << path;
    }
    const std::string sent = "SESSDATA=secret";
    std::lock_guard lock(mutex);
    EXPECT_EQ(cookieAt, (std::map<std::string, std::string>{{"http:/same", sent},
                                                            {"http:/kept", sent},
                                                            {"http:/elsewhere", sent},
                                                            {"http:/landed", ""},
                                                            {"http:/downgraded", ""},
                                                            {"https:/page", sent},
                                                            {"https:/down", sent}}));
    // Without the test's CA the certificate is refused.
    options.caFile.clear();
    EXPECT_EQ(fetchPage(secure.base() + "/page", options), "");
}
