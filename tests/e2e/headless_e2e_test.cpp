// Runs the real program headless against a simulated room of each platform,
// with the disk audio driver, and checks what it says and what it plays.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio_analysis.h"
#include "child_process.h"
#include "platforms/catalogue.h"
#include "sdk/tts/espeak_sdk.h"
#include "sim/room.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using sim::ScriptEvent;
using testing_support::ChildProcess;

const char* platformName(int platform) {
    return platforms::entryAt(platform)->key;
}

std::vector<int> everyPlatform() {
    std::vector<int> indexes;
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        indexes.push_back(entry->index);
    }
    return indexes;
}

sim::RoomScript e2eScript() {
    sim::RoomScript script;
    script.events = {
        {ScriptEvent::Kind::Enter, "小鱼干", "", 1, 100ms},
        {ScriptEvent::Kind::Chat, "甲", "你好世界", 1, 100ms},
        {ScriptEvent::Kind::Chat, "乙", "加我看广告", 1, 100ms},
        {ScriptEvent::Kind::Chat, "丙", std::string(40, 'x') + "太长了太长了太长了太长了", 1, 100ms},
        {ScriptEvent::Kind::Gift, "土豪丁", "赞", 1, 100ms},
        {ScriptEvent::Kind::Gift, "土豪丁", "赞", 2, 100ms},
        {ScriptEvent::Kind::Chat, "戊", "最后一句", 1, 100ms},
    };
    return script;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

constexpr int kDurationLimit = 2;  // seconds, written into the program's settings

// What the disk audio driver recorded: 16-bit stereo at 44.1 kHz.
struct Recording {
    int peak = 0;
    double audibleSeconds = 0;  // first to last sample above the noise floor
};

Recording analyseRecording(const std::string& path) {
    auto bytes = testing_support::readBytes(path);
    const std::size_t count = bytes.size() / 2;
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    Recording r;
    std::size_t first = count, last = 0;
    for (std::size_t i = 0; i < count; ++i) {
        int magnitude = std::abs(static_cast<int>(samples[i]));
        r.peak = std::max(r.peak, magnitude);
        if (magnitude > 300) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first < count) {
        r.audibleSeconds = static_cast<double>(last - first) / (44100.0 * 2);
    }
    return r;
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
    auto wav = testing_support::readWav(path);
    return static_cast<double>(wav.samples.size()) / 16000.0;
}

class HeadlessEndToEnd : public ::testing::TestWithParam<int> {};

TEST_P(HeadlessEndToEnd, ChatGiftsAndFiltersReachSpeech) {
    const int platform = GetParam();
    auto room = sim::makeRoom(platform, e2eScript());
    if (!room) {
        GTEST_SKIP() << "no simulated room for " << platformName(platform);
    }
    // The program keeps its files beside itself: give it a folder of its own
    // with a filter list.
    testing_support::TempDir dir;
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    {
        std::ofstream filter(dir.file("过滤列表.txt"), std::ios::binary);
        filter << util::utf8ToLocal("广告") << "\r\n";
        std::ofstream config(dir.file("配置.txt"), std::ios::binary);
        config << util::utf8ToLocal("语音时长限制=") << kDurationLimit << "\r\n";
    }
    std::vector<std::string> env{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir.file("played.raw"),
                                 "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ChildProcess program(
        exe, {"--headless", "--platform", std::to_string(platform), "--room", room->roomNumber(), "--login"},
        env, dir.path());
    ASSERT_TRUE(program.started());

    EXPECT_TRUE(program.waitForLine("speak 甲说:你好世界", 30s)) << platformName(platform);
    EXPECT_TRUE(program.waitForLine(
        [](const std::string& l) { return startsWith(l, "speak 感谢土豪丁赠送的"); }, 30s));
    if (platform == 0 || platform >= 4) {  // the platforms that report room entries
        EXPECT_TRUE(program.waitForLine("speak 滴!滴!欢迎小鱼干来到本直播间!", 30s));
    }
    ASSERT_TRUE(program.waitForLine("speak 戊说:最后一句", 30s));

    if (platform >= 4) {  // a gift of 1 and one of 2 fold into one thank-you
        int thanks = 0;
        for (const auto& line : program.lines()) {
            thanks += startsWith(line, "speak 感谢土豪丁") ? 1 : 0;
        }
        EXPECT_EQ(thanks, 1);
        EXPECT_TRUE(program.waitForLine("speak 感谢土豪丁赠送的3个赞", 1s));
    }
    for (const auto& line : program.lines()) {
        EXPECT_EQ(line.find("广告"), std::string::npos) << line;
        EXPECT_EQ(line.find("太长了"), std::string::npos) << line;
    }
    // Wait until the last announcement has been played and its file deleted.
    auto wavesEmpty = [&] {
        std::error_code ec;
        return std::filesystem::is_empty(dir.file("waves"), ec);
    };
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!wavesEmpty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(wavesEmpty());

    program.signal(SIGTERM);
    auto code = program.waitExit(5s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);

    // Every spoken text was played, each cut at the duration limit: the
    // recording holds at least their cut lengths, and less than the uncut ones
    // whenever a text was longer than the limit.
    double cut = 0, uncut = 0;
    for (const auto& line : program.lines()) {
        if (startsWith(line, "speak ")) {
            double seconds = spokenSeconds(line.substr(6));
            ASSERT_GT(seconds, 0) << line;
            cut += std::min<double>(seconds, kDurationLimit);
            uncut += seconds;
        }
    }
    Recording recording = analyseRecording(dir.file("played.raw"));
    EXPECT_GT(recording.peak, 1000) << "the recorded audio is silent";
    EXPECT_GE(recording.audibleSeconds, 0.9 * cut);
    if (uncut > cut + 1) {
        EXPECT_LT(recording.audibleSeconds, uncut);
    }
    std::printf("recorded %.2f s of audio for %.2f s of cut speech (%.2f s uncut)\n",
                recording.audibleSeconds, cut, uncut);
}

// Characters whose second GBK byte equals ASCII punctuation: 這 DF40 '@',
// 瞇 B25B '[', 沒 9B5D ']', 癨 B05C '\\', 東 967C '|'. They travel whole from
// the platform's nicknames and chat lines to the speak line; the filter word
// 萌 (C3C8) must not be found across 好 (BAC3) and 人 (C8CB).
TEST_P(HeadlessEndToEnd, DoubleByteCharactersWithPunctuationBytesStayWhole) {
    const int platform = GetParam();
    sim::RoomScript script;
    script.events = {
        {ScriptEvent::Kind::Enter, "這個人", "", 1, 100ms},
        {ScriptEvent::Kind::Chat, "沒瞇", "瞇[表情]眼沒事", 1, 100ms},
        {ScriptEvent::Kind::Chat, "癨東", "[沒]好人好人", 1, 100ms},
        {ScriptEvent::Kind::Gift, "這Sam", "鱼丸", 1, 100ms},
        {ScriptEvent::Kind::Chat, "戊", "最后一句", 1, 100ms},
    };
    auto room = sim::makeRoom(platform, script);
    if (!room) {
        GTEST_SKIP() << "no simulated room for " << platformName(platform);
    }
    testing_support::TempDir dir;
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    {
        std::ofstream filter(dir.file("过滤列表.txt"), std::ios::binary);
        filter << util::utf8ToLocal("萌") << "\r\n";
    }
    std::vector<std::string> env{"SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ChildProcess program(
        exe, {"--headless", "--platform", std::to_string(platform), "--room", room->roomNumber(), "--login"},
        env, dir.path());
    ASSERT_TRUE(program.started());

    EXPECT_TRUE(program.waitForLine("speak 沒瞇说:瞇眼沒事", 30s)) << platformName(platform);
    EXPECT_TRUE(program.waitForLine("speak 癨東说:好人好人", 30s)) << platformName(platform);
    EXPECT_TRUE(
        program.waitForLine([](const std::string& l) { return startsWith(l, "speak 感谢這Sam赠送的"); }, 30s))
        << platformName(platform);
    if (platform == 0) {
        EXPECT_TRUE(program.waitForLine("speak 滴!滴!欢迎這個人来到本直播间!", 30s));
    }
    EXPECT_TRUE(program.waitForLine("speak 戊说:最后一句", 30s));
    program.signal(SIGTERM);
    auto code = program.waitExit(5s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
}

// Every listed platform's demo joins its simulated room, says so under the
// entry's status prefix, and reads the room aloud.
TEST_P(HeadlessEndToEnd, TheDemoSpeaks) {
    const platforms::PlatformEntry& entry = *platforms::entryAt(GetParam());
    testing_support::TempDir dir;
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    ChildProcess program(exe, {"--headless", "--demo", "--platform", std::to_string(entry.index)},
                         {"SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"}, dir.path());
    ASSERT_TRUE(program.started());
    const std::string status = std::string("status ") + entry.statusPrefix + ":";
    EXPECT_TRUE(program.waitForLine([&](const std::string& l) { return startsWith(l, status); }, 30s))
        << entry.key;
    EXPECT_TRUE(program.waitForLine([](const std::string& l) { return startsWith(l, "speak "); }, 30s))
        << entry.key;
}

INSTANTIATE_TEST_SUITE_P(AllPlatforms, HeadlessEndToEnd, ::testing::ValuesIn(everyPlatform()),
                         [](const auto& info) { return std::string(platformName(info.param)); });

// A folder whose name GBK cannot hold ("ĉ" and a character beyond the BMP):
// the program writes its speech files there and plays them.
TEST(HeadlessAnyFolder, SpeechPlaysFromAFolderGbkCannotName) {
    auto room = sim::makeRoom(0, e2eScript());
    ASSERT_TRUE(room);
    testing_support::TempDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path()) / "主播 ĉ \xF0\x9D\x84\x9E";
    std::filesystem::create_directories(folder);
    const std::filesystem::path exe = folder / "sonaro";
    std::filesystem::copy_file(SONARO_EXE, exe);
    const std::string recordingPath = dir.file("played.raw");
    std::vector<std::string> env{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + recordingPath,
                                 "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    ChildProcess program(exe.string(),
                         {"--headless", "--platform", "0", "--room", room->roomNumber(), "--login"}, env,
                         folder.string());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForLine("speak 甲说:你好世界", 30s));
    // Heard, then deleted: the folder held a real file.
    auto firstPlayed = [&] {
        std::error_code ec;
        return analyseRecording(recordingPath).peak > 1000 && std::filesystem::is_empty(folder / "waves", ec);
    };
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!firstPlayed() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    program.signal(SIGTERM);
    auto code = program.waitExit(5s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    Recording recording = analyseRecording(recordingPath);
    EXPECT_GT(recording.peak, 1000) << "the recorded audio is silent";
    EXPECT_GT(recording.audibleSeconds, 0.3);
    std::printf("recorded %.2f s of audible speech from %s\n", recording.audibleSeconds, folder.c_str());
}

}  // namespace
