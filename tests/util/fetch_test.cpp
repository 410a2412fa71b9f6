#include "util/fetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "sim/http_server.h"
#include "temp_dir.h"

using util::FetchProfile;
using util::fetchPage;

namespace {

// Remembers the requests a test server saw.
struct Recorder {
    std::mutex mutex;
    std::vector<sim::HttpRequest> requests;

    void add(const sim::HttpRequest& r) {
        std::lock_guard lock(mutex);
        requests.push_back(r);
    }
    sim::HttpRequest last() {
        std::lock_guard lock(mutex);
        return requests.back();
    }
};

}  // namespace

TEST(FetchPage, SendsEachProfilesAgentAndEncoding) {
    Recorder seen;
    sim::HttpServer server([&](const sim::HttpRequest& r) {
        seen.add(r);
        sim::HttpResponse response;
        response.body = "page body";
        response.gzip = r.header("accept-encoding").find("gzip") != std::string::npos;
        return response;
    });
    struct Case {
        FetchProfile profile;
        const char* agent;
        bool gzip;
    } cases[] = {
        {FetchProfile::Douyu, util::kFirefoxAgent, true},
        {FetchProfile::Panda, util::kChromeAgent, true},
        {FetchProfile::Zhanqi, util::kFirefoxAgent, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fetchPage(server.hostPort() + "/room/1", c.profile), "page body");
        auto r = seen.last();
        EXPECT_EQ(r.target, "/room/1");
        EXPECT_EQ(r.header("user-agent"), c.agent);
        EXPECT_EQ(r.header("accept-encoding").find("gzip") != std::string::npos, c.gzip);
        EXPECT_EQ(r.header("referer"), "");
    }
}

TEST(FetchPage, FollowsFiveRedirectionsButNotSix) {
    sim::HttpServer server([](const sim::HttpRequest& r) {
        // "/hop/N" redirects to "/hop/N-1"; "/hop/0" answers.
        int n = std::stoi(r.target.substr(5));
        if (n == 0) {
            sim::HttpResponse end;
            end.body = "arrived";
            return end;
        }
        return sim::HttpResponse::redirect("/hop/" + std::to_string(n - 1));
    });
    EXPECT_EQ(fetchPage(server.hostPort() + "/hop/5", FetchProfile::Zhanqi), "arrived");
    EXPECT_EQ(fetchPage(server.hostPort() + "/hop/6", FetchProfile::Zhanqi), "");
}

TEST(FetchPage, ReturnsErrorPageBodiesButNothingOnFailure) {
    sim::HttpServer server([](const sim::HttpRequest& r) {
        sim::HttpResponse response;
        if (r.target == "/missing") {
            response.status = 404;
            response.body = "no such room";
        } else if (r.target == "/broken") {
            response.body = std::string(4000, 'x');
            response.truncate = true;
        } else if (r.target == "/stall") {
            response.body = std::string(4000, 'y');
            response.stall = true;
        } else if (r.target == "/hangup") {
            response.closeWithoutAnswer = true;
        }
        return response;
    });
    EXPECT_EQ(fetchPage(server.hostPort() + "/missing", FetchProfile::Douyu), "no such room");
    EXPECT_EQ(fetchPage(server.hostPort() + "/broken", FetchProfile::Douyu), "");
    EXPECT_EQ(fetchPage(server.hostPort() + "/hangup", FetchProfile::Douyu), "");
    // Half the body arrived before the stall; none of it is returned.
    EXPECT_EQ(fetchPage(server.hostPort() + "/stall", FetchProfile::Douyu, {}, std::chrono::milliseconds(300)), "");

    sim::HttpServer closed([](const sim::HttpRequest&) { return sim::HttpResponse{}; });
    std::string deadHost = closed.hostPort();
    closed.stop();
    EXPECT_EQ(fetchPage(deadHost + "/", FetchProfile::Panda), "");
}

TEST(FetchPage, LongzhuProfileKeepsCookiesAndSendsRefererOnlyWhenGiven) {
    testing_support::TempDir dir;
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);  // "cookie.txt" lives in the current directory

    Recorder seen;
    sim::HttpServer server([&](const sim::HttpRequest& r) {
        seen.add(r);
        sim::HttpResponse response;
        response.body = "{}";
        response.headers["Set-Cookie"] = "visitor=abc123; Path=/";
        return response;
    });
    EXPECT_EQ(fetchPage(server.hostPort() + "/chat", FetchProfile::Longzhu, ""), "{}");
    EXPECT_EQ(seen.last().header("referer"), "");
    EXPECT_EQ(seen.last().header("cookie"), "");

    EXPECT_EQ(fetchPage(server.hostPort() + "/chat", FetchProfile::Longzhu, "http://star.example/9"), "{}");
    EXPECT_EQ(seen.last().header("referer"), "http://star.example/9");
    EXPECT_EQ(seen.last().header("cookie"), "visitor=abc123");
    EXPECT_EQ(seen.last().header("user-agent"), util::kFirefoxAgent);

    std::stringstream jar;
    jar << std::ifstream(dir.file("cookie.txt")).rdbuf();
    EXPECT_NE(jar.str().find("abc123"), std::string::npos);
    ASSERT_EQ(::chdir(previous), 0);
}
