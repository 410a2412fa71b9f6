// Runs the built program headless under a private session bus and steers it
// the way a desktop's media keys do, through gdbus, while the espeak-ng
// command-line program (when installed) speaks as its external engine.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "program_under_test.h"

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

class MediaPlayerEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kDaemon) || !std::filesystem::exists(kGdbus)) {
            GTEST_SKIP() << "needs dbus-daemon and gdbus";
        }
        // A private session bus for this test, ended with it.
        bus = std::make_unique<ChildProcess>(
            kDaemon, std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--print-address=1"});
        address = bus->waitForLine([](const std::string& l) { return !l.empty(); }, 10s).value_or("");
        ASSERT_FALSE(address.empty()) << "the private bus did not start";
    }

    // One gdbus call on the private bus; its output, or nothing when it failed.
    std::optional<std::string> gdbus(std::vector<std::string> args) {
        args.insert(args.begin(), {"call", "--session", "--dest", "org.mpris.MediaPlayer2.sonaro",
                                   "--object-path", "/org/mpris/MediaPlayer2"});
        ChildProcess call(kGdbus, args, {"DBUS_SESSION_BUS_ADDRESS=" + address});
        if (call.waitExit(10s) != 0) {
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
        return testing_support::waitUntil(
            [&] {
                std::this_thread::sleep_for(20ms);  // a gdbus call every 20 ms, not every millisecond
                return match(property(name));
            },
            timeout);
    }

    static std::function<bool(const std::string&)> contains(std::string text) {
        return [text](const std::string& value) { return value.find(text) != std::string::npos; };
    }

    std::unique_ptr<ChildProcess> bus;  // ends with SIGKILL, as nothing of it is checked
    std::string address;
};

// The disk audio driver records 16-bit stereo at 44.1 kHz.
constexpr std::size_t kBytesPerSecond = 44100 * 2 * 2;

TEST_F(MediaPlayerEndToEnd, MediaKeysSkipPauseResumeAndClearTheReader) {
    auto room = sim::makeRoom(0, longLines());
    ASSERT_TRUE(room);
    const bool engine = std::system("command -v espeak-ng >/dev/null 2>&1") == 0;
    testing_support::ProgramUnderTest program(
        {.room = room.get(),
         .env = {"DBUS_SESSION_BUS_ADDRESS=" + address},
         .settings = std::string("语音时长限制=99\r\n语音引擎命令=") +
                     (engine ? "espeak-ng -v cmn -w {wav} --stdin" : "") + "\r\n",
         .record = true});
    ASSERT_TRUE(program.start());
    const std::string recording = program.recording();
    auto peakFrom = [&](std::size_t from) { return testing_support::analyseRecording(recording, from).peak; };

    // The first line plays, with its text and viewer as the track.
    ASSERT_TRUE(propertyBecomes("Metadata", contains(std::string("甲说:") + kLines[0])));
    const std::string first = property("Metadata");
    EXPECT_NE(first.find("'xesam:artist': <['甲']>"), std::string::npos) << first;
    EXPECT_NE(first.find("'mpris:trackid': <objectpath '/"), std::string::npos) << first;
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Playing'"), 5s));

    // PropertiesChanged signals follow the reader from here on.
    ChildProcess monitor(kGdbus, {"monitor", "--session", "--dest", "org.mpris.MediaPlayer2.sonaro"},
                         {"DBUS_SESSION_BUS_ADDRESS=" + address});

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
    EXPECT_LT(peakFrom(pausedAt), 300) << "speech went on while paused";
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Paused'"), 5s));

    ASSERT_TRUE(method("PlayPause"));
    ASSERT_TRUE(propertyBecomes("Metadata", contains(kLines[2]), 10s));
    EXPECT_TRUE(propertyBecomes("PlaybackStatus", contains("'Playing'"), 5s));
    EXPECT_TRUE(testing_support::waitUntil([&] { return peakFrom(pausedAt) > 1000; }, 10s))
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

    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(program.lines("status 语音引擎失败"), std::vector<std::string>{});
    monitor.signal(SIGTERM);
}

}  // namespace
