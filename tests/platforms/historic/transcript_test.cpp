// Each historic client against its simulated room under a few scripted
// scenarios. A run's transcript (what the room heard, then the statuses and
// events the client delivered, in order) must match its file under
// tests/data/historic/<platform>/; SONARO_UPDATE_GOLDENS=1 rewrites the files
// from the current behaviour instead (read the difference before committing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

#include "../client_checks.h"
#include "platforms/historic/douyu/CDouyuTv.h"
#include "platforms/historic/longzhu/CLZopt.h"
#include "platforms/historic/panda/CPandaTv.h"
#include "platforms/historic/zhanqi/CZqOpt.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/historic/longzhu/longzhu_room.h"
#include "sim/historic/panda/panda_room.h"
#include "sim/historic/zhanqi/zhanqi_room.h"
#include "temp_dir.h"
#include "test_data.h"

// The rooms' options name only what a scenario changes.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace testing_support;
using namespace std::chrono_literals;
using Heard = std::function<std::vector<std::string>()>;

namespace {

std::string escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x20 || c >= 0x7f || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// What the room heard, each thing once in order of first arrival, grouped by
// connection label (connections run side by side, so only their own order is fixed).
std::vector<std::string> distinct(const std::vector<std::string>& heard, bool markRepeats) {
    std::vector<std::string> out;
    std::vector<int> seen;
    for (const auto& raw : heard) {
        // The chat keep-alive carries the steady clock's milliseconds.
        std::string line = std::regex_replace(escaped(raw), std::regex("^(chat: .*tick@=)-?[0-9]+"), "$1#");
        auto at = std::find(out.begin(), out.end(), line);
        if (at == out.end()) {
            out.push_back(line);
            seen.push_back(1);
        } else {
            ++seen[at - out.begin()];
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        // Three times at least: a timer that is not re-armed sends a keep-alive at most twice.
        if (markRepeats && seen[i] >= 3) {
            out[i] += " (repeated)";
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return a.substr(0, a.find_first_of(" :")) < b.substr(0, b.find_first_of(" :"));
    });
    return out;
}

// One line of historic/scenarios.txt: a name, then "key=value" items and flags.
struct Scenario {
    std::string name;
    std::map<std::string, std::string> values;

    bool has(const std::string& key) const { return values.contains(key); }
    std::string operator[](const std::string& key) const { return has(key) ? values.at(key) : ""; }
    int number(const std::string& key, int otherwise = 0) const {
        return has(key) ? std::stoi(values.at(key)) : otherwise;
    }
    std::vector<std::string> list(const std::string& key) const {
        std::vector<std::string> items;
        std::istringstream in((*this)[key]);
        for (std::string item; std::getline(in, item, ',');) {
            items.push_back(item);
        }
        return items;
    }
    // The enumerator at the position of `word` in `names` (the first when absent).
    template <typename E>
    E pick(const std::string& word, std::vector<std::string> names) const {
        auto at = std::find(names.begin(), names.end(), word);
        EXPECT_NE(at, names.end()) << name << ": " << word;
        return static_cast<E>(at == names.end() ? 0 : at - names.begin());
    }
};

// Runs `client` until the scenario's end (see scenarios.txt), and once the
// room heard as many different things as the golden `file` lists; stops it
// and compares its transcript with the file (or writes the file, see above).
template <typename Client, typename Settings>
void matchesGolden(const std::string& file, const Settings& settings, const std::string& roomNumber,
                   const Scenario& c, const Heard& heard, std::chrono::milliseconds restartDelay) {
    const std::string status = c["status"];
    const int times = c.number("times", 1), events = c.number("events"), repeated = c.number("repeated");
    const std::string path = "historic/" + file + ".transcript", golden = testData(path);
    const auto from = golden.find("# heard\n"), to = golden.find("# delivered\n");
    const auto heardLines = from < to && to != std::string::npos
                                ? std::count(golden.begin() + from, golden.begin() + to, '\n') - 1
                                : 0;
    FeederRun run;
    run.start(std::make_unique<Client>(run.loop(), run.window(), settings), roomNumber);
    auto lines = [&] { return distinct(heard(), repeated > 0); };
    bool ended = run.waitFor([&] {
        auto now = lines();
        return (status.empty() ? run.events().size() >= static_cast<std::size_t>(events)
                               : run.countStatus(status) >= times) &&
               static_cast<std::ptrdiff_t>(now.size()) >= heardLines &&
               std::count_if(now.begin(), now.end(), [](auto& l) { return l.ends_with("(repeated)"); }) >=
                   repeated;
    });
    run.stop();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(restartsWaited(run, restartDelay));

    std::string out = "# heard\n";
    for (const auto& line : lines()) {
        out += line + "\n";
    }
    out += "# delivered\n";
    int seen = 0;
    for (std::size_t i = 0; i < run.events().size(); ++i) {
        const auto& e = run.events()[i];
        if (status.empty() && i == static_cast<std::size_t>(events)) {
            break;
        }
        out += deliveryLine(e) + "\n";
        if (e.message == WM_FEEDER_STATUS && e.text == status && ++seen == times) {
            break;
        }
    }
    if (std::getenv("SONARO_UPDATE_GOLDENS")) {
        std::ofstream(std::string(SONARO_TEST_DATA) + "/" + path, std::ios::binary) << out;
    } else {
        EXPECT_EQ(out, golden) << path;
    }
}

std::vector<Scenario> scenarios(const std::string& platform) {
    std::istringstream file(testData("historic/scenarios.txt"));
    std::vector<Scenario> out;
    for (std::string line; std::getline(file, line);) {
        if (!line.starts_with(platform + " ")) {
            continue;
        }
        std::istringstream words(line.substr(platform.size() + 1));
        Scenario c;
        words >> c.name;
        for (std::string word; words >> word;) {
            auto eq = word.find('=');
            c.values[word.substr(0, eq)] = eq == std::string::npos ? "" : word.substr(eq + 1);
        }
        out.push_back(c);
    }
    EXPECT_GE(out.size(), 6u) << platform;
    return out;
}

const std::string kLook = "正在获取房间信息...", kRestart = "准备重新连接服务器...";

const sim::RoomScript kDouyuScript = goldenScript("historic/douyu/room.script");

DouyuSettings douyuSettings(const sim::DouyuRoom& room) {
    DouyuSettings s;
    s.pageHost = hostsOf(room).value("SONARO_DOUYU_HOST");
    s.chatHost = "127.0.0.1";
    s.loginPause = 1ms;
    s.reconnectDelay = 150ms;
    s.firstKeepAlive = 20ms;
    s.keepAliveInterval = 50ms;
    s.fetchTimeout = 2000ms;
    s.random = [] { return 0; };
    s.utcNow = [] { return std::int64_t{1700000000}; };
    return s;
}

bool joinedOnce(const sim::DouyuRoom& room) {
    return room.openConnections(sim::DouyuServer::Auth) == 1 &&
           room.openConnections(sim::DouyuServer::Chat) == 1;
}

const sim::RoomScript kLongzhuScript = goldenScript("historic/longzhu/room.script");

LongzhuSettings longzhuSettings(const sim::LongzhuRoom& room) {
    LongzhuSettings s;
    s.pageHost = hostsOf(room).value("SONARO_LONGZHU_HOST");
    s.chatHost = hostsOf(room).value("SONARO_LONGZHU_CHAT_HOST");
    s.replyDelayUnit = 20ms;
    s.retryDelay = 10ms;
    s.restartDelay = 30ms;
    s.fetchTimeout = 3000ms;
    return s;
}

}  // namespace

TEST(HistoricTranscript, Douyu) {
    // rt is the UTC clock read as local time.
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    sim::HttpServer namedServer([](const sim::HttpRequest&) {
        sim::HttpResponse r;
        r.body = "{\"room_id\":288016,\"server_config\":\"" +
                 sim::douyuPageEncode(R"([{"ip":"auth.example","port":"80"}])") + "\"};";
        return r;
    });
    for (const auto& c : scenarios("douyu")) {
        SCOPED_TRACE(c.name);
        const int authServers = c.number("auth_servers", 1);
        sim::DouyuRoom room(kDouyuScript, {.sendGroup = !c.has("no_group"), .authServers = authServers});
        room.setFaults(sim::DouyuServer::Auth,
                       {.refuse = c.has("auth_refused"), .shortBody = c.has("auth_short_body")});
        room.setFaults(sim::DouyuServer::Chat, {.closeAfterFrames = c.number("chat_close_after")});
        room.setPageFault(c.pick<sim::DouyuPageFault>(c["page"], {"", "empty", "no_room_id"}));
        DouyuSettings s = douyuSettings(room);
        // Keep-alives only where the scenario waits for them.
        s.firstKeepAlive = std::chrono::milliseconds(c.number("keepalive", 10000));
        s.random = [draw = c.number("random")] { return draw; };
        if (c.has("page_names_server")) {
            s.pageHost = namedServer.hostPort();
        }
        if (c.has("chat_host")) {
            s.chatHost =
                c["chat_host"] == "127.0.0.1" ? "127.0.0.1:" + std::to_string(refusedPort()) : c["chat_host"];
        }
        auto heard = [&] {
            auto lines = room.heard();
            for (int p = 0; p < authServers; ++p) {
                if (room.authConnections(p) > 0) {
                    lines.push_back("auth" + std::to_string(p) + " accepted");
                }
            }
            return lines;
        };
        matchesGolden<CDouyuTv>("douyu/" + c.name, s, room.roomNumber(), c, heard, s.reconnectDelay);
    }
}

TEST(HistoricTranscript, Panda) {
    for (const auto& c : scenarios("panda")) {
        SCOPED_TRACE(c.name);
        auto leading = c.list("leading");
        for (auto& server : leading) {
            server += ":" + std::to_string(refusedPort());
        }
        sim::PandaRoom room(goldenScript("historic/panda/room.script"),
                            {.chatServers = c.number("chat_servers", 1), .leadingServers = leading});
        room.setChatFault(c.pick<sim::PandaRoom::ChatFault>(
            c["fault"], {"", "close_after_login", "bare_frame_first", "oversized_frame"}));
        room.setLookupFault(c.pick<sim::PandaRoom::LookupFault>(
            c["lookup"], {"", "empty_answer", "malformed_json", "missing_authtype", "empty_server_list"}));
        PandaSettings s;
        s.host = hostsOf(room).value("SONARO_PANDA_HOST");
        s.restartDelay = 150ms;
        s.heartbeatInterval = std::chrono::milliseconds(c.number("heartbeat", 40));
        s.pause = 1ms;
        s.fetchTimeout = 3s;
        auto heard = [&] {
            auto lines = room.heard();
            lines.push_back("lookup " + room.lastLookupTarget());
            return lines;
        };
        matchesGolden<CPandaTv>("panda/" + c.name, s, room.roomNumber(), c, heard, s.restartDelay);
    }
}

TEST(HistoricTranscript, Zhanqi) {
    auto servers = [](const std::vector<std::string>& items) {
        std::vector<std::pair<std::string, int>> out;
        for (const auto& item : items) {
            auto colon = item.find(':');
            out.emplace_back(item.substr(0, colon),
                             colon == std::string::npos ? refusedPort() : std::stoi(item.substr(colon + 1)));
        }
        return out;
    };
    for (const auto& c : scenarios("zhanqi")) {
        SCOPED_TRACE(c.name);
        sim::ZhanqiRoom room(goldenScript("historic/zhanqi/room.script"),
                             {.chatServers = c.number("chat_servers", 1),
                              .leadingServers = servers(c.list("leading")),
                              .trailingServers = servers(c.list("trailing"))});
        room.setChatFault(
            c.pick<sim::ZhanqiRoom::ChatFault>(c["fault"], {"", "negative_length", "unparseable_json",
                                                            "greeting_refused", "close_after_greeting"}),
            0);
        room.setLookupFault(c.pick<sim::ZhanqiRoom::LookupFault>(
            c["lookup"], {"", "empty_page", "empty_viewer", "broken_viewer", "missing_list", "empty_list"}));
        ZhanqiSettings s;
        s.host = hostsOf(room).value("SONARO_ZHANQI_HOST");
        s.restartDelay = 150ms;
        s.keepAliveInterval = 30ms;
        s.pause = 1ms;
        s.fetchTimeout = 3s;
        std::vector<int> draws;
        for (const auto& draw : c.list("draws")) {
            draws.push_back(std::stoi(draw));
        }
        s.random = [draws, next = std::make_shared<std::size_t>(0)] {
            return *next < draws.size() ? draws[(*next)++] : 0;
        };
        matchesGolden<CZqOpt>(
            "zhanqi/" + c.name, s, room.roomNumber(), c, [&] { return room.heard(); }, s.restartDelay);
    }
}

TEST(HistoricTranscript, Longzhu) {
    // The client keeps its cookies in "cookie.txt" in the current directory.
    TempDir dir;
    InDirectory cookies(dir.path());
    for (const auto& c : scenarios("longzhu")) {
        SCOPED_TRACE(c.name);
        sim::LongzhuRoom room(kLongzhuScript);
        room.setReplyDelay(3);
        room.setPageFault(
            c.pick<sim::LongzhuPageFault>(c["page"], {"", "no_answer", "no_marker", "zero_id"}));
        std::vector<sim::LongzhuPollFault> plan;
        for (const auto& answer : c.list("plan")) {
            plan.push_back(
                c.pick<sim::LongzhuPollFault>(answer, {"good", "no_answer", "truncated", "empty", "not_json",
                                                       "missing_cursor", "wrong_type", "bad_message"}));
        }
        room.setPollPlan(plan);
        LongzhuSettings s = longzhuSettings(room);
        const std::size_t polls = c.number("polls");
        auto heard = [&] {
            std::vector<std::string> lines;
            for (const auto& poll : room.polls()) {
                std::string referer = poll.referer;
                if (auto at = referer.find(room.pageHost()); at != std::string::npos) {
                    referer.replace(at, room.pageHost().size(), "<page host>");
                }
                lines.push_back("poll " + poll.target + " referer " + referer);
            }
            if (polls > 0 && room.polls().size() >= polls) {
                lines.push_back("polls: at least " + std::to_string(polls));
            }
            return lines;
        };
        testing::internal::CaptureStderr();
        matchesGolden<CLZopt>("longzhu/" + c.name, s, room.roomNumber(), c, heard,
                              std::chrono::duration_cast<std::chrono::milliseconds>(s.restartDelay));
        // The restart shows on standard error only: standard output is the headless log.
        std::string err = testing::internal::GetCapturedStderr();
        bool restarted = err.find(kRestart) != std::string::npos;
        EXPECT_EQ(restarted, c["status"] == kLook);
    }
    EXPECT_TRUE(std::filesystem::exists("cookie.txt"));
}

// What a script cannot drop: connections closed under a joined client.
TEST(HistoricDrops, DouyuRejoinsOnceForTwoFailuresAndEveryTimeForRepeatedOnes) {
    {
        sim::DouyuRoom room(kDouyuScript);
        DouyuSettings settings = douyuSettings(room);
        settings.reconnectDelay = 1000ms;
        FeederRun run;
        run.start(std::make_unique<CDouyuTv>(run.loop(), run.window(), settings), room.roomNumber());
        ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 1 && joinedOnce(room); }));
        room.dropChatConnections();
        ASSERT_TRUE(run.waitFor([&] { return run.countStatus("弹幕服务器读取数据失败!") == 1; }));
        room.dropAuthConnections();
        ASSERT_TRUE(run.waitFor([&] { return run.countStatus("服务器断开!") == 1; }));
        ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 2 && joinedOnce(room); }));
        EXPECT_EQ(run.countStatus(kRestart), 1);
        EXPECT_EQ(room.pageRequests(), 2);
    }
    sim::DouyuRoom room(kDouyuScript);
    FeederRun run;
    run.start(std::make_unique<CDouyuTv>(run.loop(), run.window(), douyuSettings(room)), room.roomNumber());
    for (std::size_t round = 1; round <= 4; ++round) {
        // Each join hears the script's two chat lines before the next drop.
        ASSERT_TRUE(run.waitFor([&] {
            return room.joins().size() == round && joinedOnce(room) &&
                   run.all(WM_FEEDER_CHAT).size() == 2 * round;
        })) << round;
        room.dropChatConnections();
    }
    ASSERT_TRUE(run.waitFor([&] { return room.joins().size() == 5 && joinedOnce(room); }));
    // Still exactly one of each once both keep-alives have gone round again.
    int auth = room.keepAlives(sim::DouyuServer::Auth), chat = room.keepAlives(sim::DouyuServer::Chat);
    ASSERT_TRUE(run.waitFor([&] {
        return room.keepAlives(sim::DouyuServer::Auth) > auth + 1 &&
               room.keepAlives(sim::DouyuServer::Chat) > chat + 1;
    }));
    EXPECT_TRUE(joinedOnce(room));
    EXPECT_EQ(room.joins().size(), 5u);
    EXPECT_EQ(run.countStatus(kRestart), 4);
    EXPECT_TRUE(run.waitFor([&] { return run.all(WM_FEEDER_CHAT).size() == 10u; }));
}

// The next poll waits as long as the reply asks (6 units of 20 ms), and at
// least the floor when a reply asks for no wait (0) or one in the past (-5).
TEST(HistoricTimings, LongzhuPollsFollowTheReplyButNeverComeCloserThanTheFloor) {
    TempDir dir;
    InDirectory cookies(dir.path());
    for (auto [next, gap] : {std::pair{0, 100ms}, {-5, 100ms}, {6, 120ms}}) {
        SCOPED_TRACE(next);
        sim::LongzhuRoom room(kLongzhuScript);
        room.setReplyDelay(next);
        LongzhuSettings settings = longzhuSettings(room);
        settings.pollFloor = 100ms;
        FeederRun run;
        run.start(std::make_unique<CLZopt>(run.loop(), run.window(), settings), room.roomNumber());
        ASSERT_TRUE(run.waitFor([&] { return room.polls().size() >= 4; }));
        run.stop();
        auto polls = room.polls();
        // The first poll follows the lookup at once; every later one waits.
        for (std::size_t i = 2; i < polls.size(); ++i) {
            EXPECT_GE(polls[i].at - polls[i - 1].at, gap) << i;
        }
    }
}
