// Runs the real program headless against a simulated room of each platform,
// from a folder GBK cannot name, with the disk audio driver, and checks what
// it says, what it plays and how it closes.
#include <gtest/gtest.h>

#include <csignal>
#include <iterator>

#include "audio_analysis.h"
#include "platforms/catalogue.h"
#include "program_under_test.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"

namespace {

using namespace std::chrono_literals;
using sim::ScriptEvent;
using testing_support::ProgramUnderTest;

const char* platformName(int platform) {
    return platforms::entryAt(platform)->key;
}

constexpr int kDurationLimit = 1;  // seconds, written into the program's settings

// Characters whose second GBK byte equals ASCII punctuation: 這 DF40 '@',
// 瞇 B25B '[', 沒 9B5D ']', 癨 B05C '\\', 東 967C '|'. They travel whole from
// the platform's nicknames and chat lines to the speak line; the filter word
// 萌 (C3C8) must not be found across 好 (BAC3) and 人 (C8CB).
sim::RoomScript e2eScript() {
    sim::RoomScript script;
    script.events = {
        {ScriptEvent::Kind::Enter, "這個人", "", 1, 100ms},
        {ScriptEvent::Kind::Chat, "沒瞇", "瞇[表情]眼沒事", 1, 100ms},
        {ScriptEvent::Kind::Chat, "乙", "加我看广告", 1, 100ms},
        {ScriptEvent::Kind::Chat, "丙", std::string(40, 'x') + "太长了太长了太长了太长了", 1, 100ms},
        {ScriptEvent::Kind::Chat, "癨東", "[沒]好人好人", 1, 100ms},
        {ScriptEvent::Kind::Gift, "這Sam", "赞", 1, 100ms},
        {ScriptEvent::Kind::Gift, "這Sam", "赞", 2, 100ms},
        {ScriptEvent::Kind::Chat, "戊", "最后一句", 1, 100ms},
    };
    return script;
}

// Seconds of speech the program's default voice makes of `utf8`.
double spokenSeconds(const std::string& utf8) {
    static tts::EspeakSdk sdk;
    static const bool loggedIn = sdk.login(nullptr, nullptr, speech::kSdkLoginParams) == 0;
    testing_support::TempDir dir;
    const std::string path = dir.file("probe.wav");
    if (!loggedIn ||
        speech::synthesizeToWav(sdk, util::utf8ToLocal(utf8), path, speech::buildSessionParams(0, 70)) != 0) {
        return 0;
    }
    return static_cast<double>(testing_support::readWav(path).samples.size()) / 16000.0;
}

class HeadlessEndToEnd : public ::testing::TestWithParam<int> {};

TEST_P(HeadlessEndToEnd, ChatGiftsAndFiltersReachSpeechWholeAndCut) {
    const int platform = GetParam();
    const char* const name = platformName(platform);
    auto room = sim::makeRoom(platform, e2eScript());
    if (!room) {
        GTEST_SKIP() << "no simulated room for " << name;
    }
    // Each platform closes on another of the signals a terminal or session sends.
    const int kSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGINT};
    const int signal = kSignals[platform % std::size(kSignals)];
    ProgramUnderTest program({.room = room.get(),
                              .platform = platform,
                              .env = {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/sonaro-bus"},
                              .settings = "语音时长限制=" + std::to_string(kDurationLimit) + "\r\n",
                              .filters = "广告\r\n萌\r\n",
                              .folder = "主播 ĉ \xF0\x9D\x84\x9E",
                              .record = true});
    ASSERT_TRUE(program.start());

    EXPECT_TRUE(program->waitForLine("speak 沒瞇说:瞇眼沒事", 30s)) << name;
    EXPECT_TRUE(program->waitForLine("speak 癨東说:好人好人", 30s)) << name;
    EXPECT_TRUE(program->waitForLine(
        [](const std::string& l) { return l.starts_with("speak 感谢這Sam赠送的"); }, 30s))
        << name;
    if (platform == 0 || platform >= 4) {  // the platforms that report room entries
        EXPECT_TRUE(program->waitForLine("speak 滴!滴!欢迎這個人来到本直播间!", 30s)) << name;
    }
    ASSERT_TRUE(program->waitForLine("speak 戊说:最后一句", 30s)) << name;
    if (platform >= 4) {  // a gift of 1 and one of 2 fold into one thank-you
        EXPECT_EQ(program.lines("speak 感谢"), std::vector<std::string>{"這Sam赠送的3个赞"}) << name;
    }
    EXPECT_TRUE(testing_support::waitUntil([&] { return program.waitingSpeech() == 0; }, 30s)) << name;
    EXPECT_EQ(program.close(signal), 0) << name << ", " << strsignal(signal);

    // Nothing filtered was spoken; the log holds only its two kinds of line,
    // also without a session bus for the media keys.
    const auto spoken = program.lines("speak ");
    for (const auto& line : program.lines()) {
        EXPECT_TRUE(line.starts_with("status ") || line.starts_with("speak ")) << line;
        EXPECT_EQ(line.find("广告"), std::string::npos) << line;
        EXPECT_EQ(line.find("太长了"), std::string::npos) << line;
    }
    // Every spoken text was played, each cut at the duration limit: the
    // recording holds at least their cut lengths, and less than the uncut ones.
    double cut = 0, uncut = 0;
    for (const auto& text : spoken) {
        const double seconds = spokenSeconds(text);
        ASSERT_GT(seconds, 0) << text;
        cut += std::min<double>(seconds, kDurationLimit);
        uncut += seconds;
    }
    const auto recording = testing_support::analyseRecording(program.recording());
    EXPECT_GT(recording.peak, 1000) << "the recorded audio is silent";
    EXPECT_GE(recording.audibleSeconds, 0.9 * cut) << name;
    if (uncut > cut + 1) {
        EXPECT_LT(recording.audibleSeconds, uncut) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(AllPlatforms, HeadlessEndToEnd,
                         ::testing::Range(0, static_cast<int>(platforms::catalogue().size())),
                         [](const auto& info) { return std::string(platformName(info.param)); });

// The demo of every listed platform, all read at once: each joins its room
// under its entry's prefix and its lines reach the speech worker ("甲说",
// then "甲2说" for the first room read besides, and so on). An engine that
// fails at once lets the worker take every line without speaking seven rooms'
// worth of chat in real time.
TEST(HeadlessDemo, EveryPlatformsRoomSpeaksAtOnce) {
    std::vector<std::string> args{"--demo", "--platform", "0"};
    for (const platforms::PlatformEntry* entry : platforms::catalogue().subspan(1)) {
        args.insert(args.end(), {"--also", std::to_string(entry->index) + ":1"});
    }
    ProgramUnderTest program({.args = args, .settings = "语音引擎命令=false\r\n"});
    ASSERT_TRUE(program.start());
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        const std::string viewer = entry->index == 0 ? "甲" : "甲" + std::to_string(entry->index + 1);
        EXPECT_TRUE(program->waitForLine("speak " + viewer + "说:你好世界", 30s)) << entry->key;
        const std::string status = std::string("status ") + entry->statusPrefix + "[";
        EXPECT_FALSE(program.lines(status).empty()) << entry->key;
    }
    EXPECT_EQ(program.close(), 0);
}

}  // namespace
