// Room pages that never end or inflate a thousandfold: every client reports
// its failure instead of holding the answer, and the process stays small.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/platform_hosts.h"
#include "feeder_run.h"
#include "platforms/registry.h"
#include "resident_memory.h"
#include "sim/http_server.h"
#include "temp_dir.h"

TEST(HostilePages, EveryClientFailsTheLookupAndStaysSmall) {
    struct Page {
        const char* what;
        bool gzip;
        std::size_t repeat;  // copies of 64 KB; 0 is without end
    };
    const Page pages[] = {{"endless page", false, 0}, {"gzip bomb", true, 1000}};
    // How the status each client shows when its lookup fails ends.
    const char* const failures[] = {"获取房间信息失败!", "准备重新连接服务器...",
                                    "获取房间信息失败!", "获取房间信息失败!",
                                    "秒后重试",          "秒后重试",
                                    "秒后重试"};
    static_assert(std::size(failures) == kPlatformCount);
    testing_support::TempDir dir;  // Longzhu's cookie file goes to the current directory
    const auto previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    testing_support::resetPeakResident();
    const double before = testing_support::peakResidentMb();
    for (const Page& page : pages) {
        sim::HttpServer server([&](const sim::HttpRequest&) {
            sim::HttpResponse response;
            response.body = std::string(64 * 1024, page.gzip ? '\0' : 'x');
            response.gzip = page.gzip;
            response.repeat = page.repeat;
            return response;
        });
        const PlatformHosts hosts = testing_support::allHostsAt(server.hostPort());
        const FeederFactories factories = platforms::feederFactories(hosts);
        for (int platform = 0; platform < kPlatformCount; ++platform) {
            std::atomic<bool> closing{false};
            testing_support::FeederRun run;
            run.start(factories[platform](run.loop(), run.window(), closing), "1");
            EXPECT_TRUE(run.waitFor([&] {
                auto statuses = run.statuses();
                return std::any_of(statuses.begin(), statuses.end(),
                                   [&](const std::string& s) { return s.ends_with(failures[platform]); });
            })) << page.what
                << ", platform " << platform;
        }
    }
    const double growth = testing_support::peakResidentMb() - before;
    std::printf("peak resident growth over eight hostile lookups: %.1f MB\n", growth);
    if (testing_support::kResidentBoundsHold) {
        EXPECT_LT(growth, 150.0);
    }
    std::filesystem::current_path(previousDir);
}
