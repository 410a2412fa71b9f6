// Room pages that never end or inflate a thousandfold: every client reports
// its failure instead of holding the answer, and the process stays small.
#include <gtest/gtest.h>

#include <map>

#include "core/platform_hosts.h"
#include "feeder_run.h"
#include "platforms/catalogue.h"
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
    // How the status each client shows when its lookup fails ends: the living
    // clients' machinery says when it tries again.
    const std::map<std::string, std::string> historicFailures = {{"douyu", "获取房间信息失败!"},
                                                                 {"panda", "准备重新连接服务器..."},
                                                                 {"zhanqi", "获取房间信息失败!"},
                                                                 {"longzhu", "获取房间信息失败!"}};
    testing_support::TempDir dir;  // Longzhu's cookie file goes to the current directory
    testing_support::InDirectory cookies(dir.path());
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
        for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
            const std::string failure = entry->historic ? historicFailures.at(entry->key) : "秒后重试";
            std::atomic<bool> closing{false};
            testing_support::FeederRun run;
            run.start(factories.at(entry->index)(run.loop(), run.window(), closing), "1");
            EXPECT_TRUE(run.waitFor([&] {
                auto statuses = run.statuses();
                return std::any_of(statuses.begin(), statuses.end(),
                                   [&](const std::string& s) { return s.ends_with(failure); });
            })) << page.what
                << ", " << entry->key;
        }
    }
    const double growth = testing_support::peakResidentMb() - before;
    if (testing_support::kResidentBoundsHold) {
        EXPECT_LT(growth, 150.0);
    }
}
