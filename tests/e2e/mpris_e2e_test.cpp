// Runs the built program headless under a private session bus and steers it
// the way a desktop's media keys do, through gdbus.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "audio_analysis.h"
#include "child_process.h"
#include "sim/room.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;
using sim::ScriptEvent;
using testing_support::ChildProcess;

const std::string kDaemon = "/usr/bin/dbus-daemon";
const std::string kGdbus = "/usr/bin/gdbus";

// Five long lines, so that each plays for seconds.
const char* const kLines[] = {
    "第一句话会被跳过去的因为它实在是太长了", "第二句话在暂停以后还是会被完整地读完",
    "第三句话要等到继续播放以后才会开始读",   "第四句话已经被清空了所以不应该被听到",
    "第五句话同样已经被清空不会被读出来的",
};

sim::RoomScript longLines() {
    sim::RoomScript script;
    const char* const senders[] = {"甲", "乙", "丙", "丁", "戊"};
    for (int i = 0; i < 5; ++i) {
        script.events.push_back({ScriptEvent::Kind::Chat, senders[i], kLines[i], 1, 100ms});
    }
    return script;
}

// A private session bus for one test, ended with it.
struct PrivateBus {
    ChildProcess daemon{kDaemon, {"--session", "--nofork", "--nopidfile", "--print-address=1"}};
    std::string address;

    PrivateBus() {
        if (auto line = daemon.waitForLine([](const std::string& l) { return !l.empty(); }, 10s)) {
            address = *line;
        }
    }
    ~PrivateBus() {
        daemon.signal(SIGTERM);
        daemon.waitExit(5s);
    }
};

class MediaPlayerEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kDaemon) || !std::filesystem::exists(kGdbus)) {
            GTEST_SKIP() << "needs dbus-daemon and gdbus";
        }
        ASSERT_FALSE(bus.address.empty()) << "the private bus did not start";
    }

    // One gdbus call on the private bus; its output, or nothing when it failed.
    std::optional<std::string> gdbus(std::vector<std::string> args) {
        args.insert(args.begin(), {"call", "--session", "--dest", "org.mpris.MediaPlayer2.sonaro",
                                   "--object-path", "/org/mpris/MediaPlayer2"});
        ChildProcess call(kGdbus, args, {"DBUS_SESSION_BUS_ADDRESS=" + bus.address});
        auto code = call.waitExit(10s);
        if (!code || *code != 0) {
            return std::nullopt;
        }
        std::string out;
        for (const auto& line : call.lines()) {
            out += line;
        }
        return out;
    }

    std::string property(const char* name) {
        return gdbus(
                   {"--method", "org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player", name})
            .value_or("");
    }

    bool method(const char* name) {
        return gdbus({"--method", std::string("org.mpris.MediaPlayer2.Player.") + name}).has_value();
    }

    // Polls a property until `match` holds for it.
    bool propertyBecomes(const char* name, const std::function<bool(const std::string&)>& match,
                         std::chrono::seconds timeout = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (match(property(name))) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    static std::function<bool(const std::string&)> contains(std::string text) {
        return [text](const std::string& value) { return value.find(text) != std::string::npos; };
    }

    PrivateBus bus;
    testing_support::TempDir dir;
};

// The disk audio driver records 16-bit stereo at 44.1 kHz.
constexpr std::size_t kBytesPerSecond = 44100 * 2 * 2;

// Peak sample of the 16-bit recording from byte `from` on.
int peakFrom(const std::string& path, std::size_t from) {
    auto bytes = testing_support::readBytes(path);
    int peak = 0;
    for (std::size_t i = from & ~std::size_t{1}; i + 1 < bytes.size(); i += 2) {
        std::int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + i, 2);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

TEST_F(MediaPlayerEndToEnd, MediaKeysSkipPauseResumeAndClearTheReader) {
    auto room = sim::makeRoom(0, longLines());
    ASSERT_TRUE(room);
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    {
        std::ofstream config(dir.file("配置.txt"), std::ios::binary);
        config << util::utf8ToLocal("语音时长限制=99\r\n");
    }
    const std::string recording = dir.file("played.raw");
    std::vector<std::string> env{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + recording,
                                 "QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS=" + bus.address};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ChildProcess program(exe, {"--headless", "--platform", "0", "--room", room->roomNumber(), "--login"}, env,
                         dir.path());
    ASSERT_TRUE(program.started());

    // The first line plays, with its text and viewer as the track.
    ASSERT_TRUE(propertyBecomes("Metadata", contains(std::string("甲说:") + kLines[0])));
    const std::string first = property("Metadata");
    EXPECT_NE(first.find("'xesam:artist': <['甲']>"), std::string::npos) << first;
    EXPECT_NE(first.find("'mpris:trackid': <objectpath '/"), std::string::npos) << first;
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Playing'"), 5s));

    // PropertiesChanged signals follow the reader from here on.
    ChildProcess monitor(kGdbus, {"monitor", "--session", "--dest", "org.mpris.MediaPlayer2.sonaro"},
                         {"DBUS_SESSION_BUS_ADDRESS=" + bus.address});

    ASSERT_TRUE(method("Next"));
    ASSERT_TRUE(propertyBecomes("Metadata", contains(kLines[1]), 10s));

    // Paused at once; the line playing finishes, nothing new starts.
    ASSERT_TRUE(method("Pause"));
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Paused'"), 5s));
    ASSERT_TRUE(propertyBecomes("Metadata", contains("NoTrack")));
    // Half a second of recording with nothing in it, past the last buffer
    // of the line that finished.
    const std::size_t pausedAt = std::filesystem::file_size(recording) + kBytesPerSecond / 5;
    ASSERT_TRUE(testing_support::waitUntil(
        [&] { return std::filesystem::file_size(recording) > pausedAt + kBytesPerSecond / 2; }, 10s));
    EXPECT_LT(peakFrom(recording, pausedAt), 300) << "speech went on while paused";
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Paused'"), 5s));

    ASSERT_TRUE(method("PlayPause"));
    ASSERT_TRUE(propertyBecomes("Metadata", contains(kLines[2]), 10s));
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Playing'"), 5s));
    EXPECT_TRUE(testing_support::waitUntil([&] { return peakFrom(recording, pausedAt) > 1000; }, 10s))
        << "nothing was heard after resuming";

    // Stop clears what waits: the third line ends the reading.
    ASSERT_TRUE(method("Stop"));
    ASSERT_TRUE(propertyBecomes("PlaybackStatus", contains("Stopped")));
    EXPECT_TRUE(monitor.waitForLine(contains("'PlaybackStatus': <'Paused'>"), 5s));
    EXPECT_TRUE(monitor.waitForLine(contains(kLines[2]), 5s));
    for (const auto& line : monitor.lines()) {
        EXPECT_EQ(line.find(kLines[3]), std::string::npos) << line;
        EXPECT_EQ(line.find(kLines[4]), std::string::npos) << line;
    }

    program.signal(SIGTERM);
    auto code = program.waitExit(10s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    for (const auto& line : program.lines()) {
        EXPECT_TRUE(line.rfind("status ", 0) == 0 || line.rfind("speak ", 0) == 0) << line;
    }
    monitor.signal(SIGTERM);
}

TEST(MediaPlayerAbsent, NoSessionBusIsNoErrorAndLeavesTheLogAlone) {
    auto room = sim::makeRoom(0, longLines());
    ASSERT_TRUE(room);
    testing_support::TempDir dir;
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    std::vector<std::string> env{"SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen",
                                 "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir.file("no-bus-here"),
                                 "XDG_RUNTIME_DIR=" + dir.path()};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ChildProcess program(exe, {"--headless", "--platform", "0", "--room", room->roomNumber(), "--login"}, env,
                         dir.path());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine(std::string("speak 甲说:") + kLines[0], 30s));
    program.signal(SIGTERM);
    auto code = program.waitExit(10s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    for (const auto& line : program.lines()) {
        EXPECT_TRUE(line.rfind("status ", 0) == 0 || line.rfind("speak ", 0) == 0) << line;
    }
}

}  // namespace
