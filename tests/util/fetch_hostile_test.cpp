// Servers that try to make the fetch hold more than it should: bodies without
// end, bodies that inflate a thousandfold, cookies by the hundred.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "resident_memory.h"
#include "sim/http_server.h"
#include "temp_dir.h"
#include "util/fetch.h"

using namespace std::chrono_literals;

namespace {

std::size_t cookieLines(const std::string& text) {
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        n += !line.empty() && (line[0] != '#' || line.starts_with("#HttpOnly_")) ? 1 : 0;
    }
    return n;
}

}  // namespace

TEST(HostileAnswers, BodiesPastTheCapFailWithoutBeingHeld) {
    struct Case {
        const char* what;
        bool gzip;
        std::size_t repeat;
    };
    // 64 KB a copy: the endless stream never ends; the bomb is 128 MB of zeros
    // that gzip packs into about 130 KB.
    const Case cases[] = {{"endless stream", false, 0}, {"gzip bomb", true, 2000}};
    for (const Case& c : cases) {
        sim::HttpServer server([&](const sim::HttpRequest&) {
            sim::HttpResponse response;
            response.body = std::string(64 * 1024, c.gzip ? '\0' : 'x');
            response.gzip = c.gzip;
            response.repeat = c.repeat;
            return response;
        });
        util::FetchOptions options;
        options.acceptEncoding = "gzip, deflate";
        testing_support::resetPeakResident();
        const double before = testing_support::peakResidentMb();
        auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(util::fetchPage(server.hostPort() + "/room", options), "") << c.what;
        const double growth = testing_support::peakResidentMb() - before;
        std::printf(
            "%s: peak resident growth %.1f MB, failed after %.0f ms\n", c.what, growth,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
        if (testing_support::kResidentBoundsHold) {
            EXPECT_LT(growth, 150.0) << c.what;
        }
    }
}

TEST(HostileAnswers, CookieFloodKeepsTheJarBoundedAndTheFirstCookies) {
    struct Case {
        const char* what;
        std::size_t valueLength;
    };
    // Many small cookies reach the count bound; long ones the size bound. The
    // flood is HttpOnly: the jar marks those lines like comments.
    const Case cases[] = {{"small cookies", 8}, {"long cookies", 3000}};
    for (const Case& c : cases) {
        testing_support::TempDir dir;
        int poll = 0;
        std::atomic<int> returned{0};  // polls that sent the first cookie back
        sim::HttpServer server([&](const sim::HttpRequest& request) {
            returned += request.header("cookie").find("visitor=first") != std::string::npos ? 1 : 0;
            sim::HttpResponse response;
            response.body = "ok";
            std::string cookies = "visitor=first; Path=/";
            if (poll++ > 0) {
                for (int i = 0; i < 60; ++i) {
                    cookies += "\r\nSet-Cookie: flood" + std::to_string(poll) + "_" + std::to_string(i) +
                               "=" + std::string(c.valueLength, 'v') + "; Path=/; HttpOnly";
                }
            }
            response.headers["Set-Cookie"] = cookies;
            return response;
        });
        util::FetchOptions options;
        options.cookieFile = dir.file("cookie.txt");
        for (int i = 0; i < 12; ++i) {
            ASSERT_EQ(util::fetchPage(server.hostPort() + "/poll", options), "ok") << c.what;
            const std::string jar = testing_support::readFile(options.cookieFile);
            EXPECT_LE(jar.size(), util::kCookieJarMaxBytes) << c.what << " poll " << i;
            EXPECT_LE(cookieLines(jar), util::kCookieJarMaxCookies) << c.what << " poll " << i;
            EXPECT_NE(jar.find("visitor\tfirst"), std::string::npos) << c.what << " poll " << i;
            if (i == 11) {
                std::printf("%s: jar %zu bytes, %zu cookies after %d polls\n", c.what, jar.size(),
                            cookieLines(jar), i + 1);
                EXPECT_GT(cookieLines(jar), 1u) << "new cookies still fit while there is room";
                EXPECT_EQ(returned, i) << "every poll after the first sends the first cookie back";
            }
        }
    }
}
