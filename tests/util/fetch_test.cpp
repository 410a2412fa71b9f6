#include "util/fetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "sim/http_server.h"
#include "temp_dir.h"

using util::fetchPage;
using util::FetchProfile;

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
        if (response.truncate || response.stall) {
            response.body = std::string(4000, 'x');
        }
        return response;
    }};

    std::string url(const std::string& path) const { return server.hostPort() + path; }
    sim::HttpRequest request() {
        std::lock_guard lock(mutex);
        return last;
    }
};

}  // namespace

TEST(FetchPage, SendsEachProfilesAgentAndDecodesGzip) {
    PageServer pages;
    const std::tuple<FetchProfile, const char*, bool> cases[] = {
        {FetchProfile::Douyu, util::kFirefoxAgent, true},
        {FetchProfile::Panda, util::kChromeAgent, true},
        {FetchProfile::Zhanqi, util::kFirefoxAgent, false},
    };
    for (const auto& [profile, agent, gzip] : cases) {
        EXPECT_EQ(fetchPage(pages.url("/room/1"), profile), "page body");
        auto r = pages.request();
        EXPECT_EQ(r.header("user-agent"), agent);
        EXPECT_EQ(r.header("accept-encoding").find("gzip") != std::string::npos, gzip);
        EXPECT_EQ(r.header("referer"), "");
    }
}

TEST(FetchPage, GivesErrorBodiesButNothingOnBrokenTransfers) {
    PageServer pages;
    const std::pair<const char*, const char*> cases[] = {
        {"/hop/5", "page body"},
        {"/hop/6", ""},  // one redirection too many
        {"/missing", "page body"},
        {"/broken", ""},
        {"/hangup", ""},
        {"/stall", ""},  // half the body arrived before the stall; none of it is returned
    };
    for (const auto& [path, body] : cases) {
        EXPECT_EQ(fetchPage(pages.url(path), FetchProfile::Douyu, {}, std::chrono::milliseconds(300)), body)
            << path;
    }
    std::string deadHost = pages.url("/");
    pages.server.stop();
    EXPECT_EQ(fetchPage(deadHost, FetchProfile::Panda), "");
}

TEST(FetchPage, LongzhuProfileKeepsCookiesAndSendsRefererOnlyWhenGiven) {
    testing_support::TempDir dir;
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);  // "cookie.txt" lives in the current directory

    PageServer pages;
    EXPECT_EQ(fetchPage(pages.url("/chat"), FetchProfile::Longzhu, ""), "page body");
    EXPECT_EQ(pages.request().header("referer") + pages.request().header("cookie"), "");
    EXPECT_EQ(fetchPage(pages.url("/chat"), FetchProfile::Longzhu, "http://star.example/9"), "page body");
    EXPECT_EQ(pages.request().header("referer"), "http://star.example/9");
    EXPECT_EQ(pages.request().header("cookie"), "visitor=abc123");

    std::stringstream jar;
    jar << std::ifstream(dir.file("cookie.txt")).rdbuf();
    EXPECT_NE(jar.str().find("abc123"), std::string::npos);
    ASSERT_EQ(::chdir(previous), 0);
}
