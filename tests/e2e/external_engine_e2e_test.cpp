// The built program, headless, speaking through the espeak-ng command-line
// program as its external engine; and, with a command that fails, telling the
// host once and staying silent.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "audio_analysis.h"
#include "child_process.h"
#include "sim/room.h"
#include "temp_dir.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using sim::ScriptEvent;

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

struct EngineRun {
    std::vector<std::string> lines;
    int peak = 0;
    double audibleSeconds = 0;
};

EngineRun runWithEngine(const std::string& command) {
    sim::RoomScript script;
    script.events = {
        {ScriptEvent::Kind::Chat, "甲", "你好世界", 1, 100ms},
        {ScriptEvent::Kind::Chat, "乙", "今天天气不错", 1, 100ms},
        {ScriptEvent::Kind::Chat, "丙", "最后一句", 1, 100ms},
    };
    auto room = sim::makeRoom(0, script);
    EXPECT_TRUE(room);
    if (!room) {
        return {};
    }
    testing_support::TempDir dir;
    const std::string exe = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXE, exe);
    std::ofstream(dir.file("配置.txt"), std::ios::binary)
        << util::utf8ToLocal("语音时长限制=10\r\n语音引擎命令=" + command + "\r\n");
    std::vector<std::string> env{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir.file("played.raw"),
                                 "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : room->hostSettings()) {
        env.push_back(name + "=" + value);
    }
    testing_support::ChildProcess program(
        exe, {"--headless", "--platform", "0", "--room", room->roomNumber(), "--login"}, env, dir.path());
    EXPECT_TRUE(program.started());
    EXPECT_TRUE(program.waitForLine("speak 丙说:最后一句", 30s));
    // Played (or dropped) and deleted: the folder empties either way.
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
    EXPECT_TRUE(program.waitExit(5s).has_value());

    EngineRun run;
    run.lines = program.lines();
    auto bytes = testing_support::readBytes(dir.file("played.raw"));
    const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
    std::size_t first = bytes.size(), last = 0;
    for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
        int magnitude = std::abs(static_cast<int>(samples[i]));
        run.peak = std::max(run.peak, magnitude);
        if (magnitude > 300) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first < last) {
        run.audibleSeconds = static_cast<double>(last - first) / (44100.0 * 2);
    }
    return run;
}

std::vector<std::string> statusLines(const EngineRun& run, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& line : run.lines) {
        if (startsWith(line, "status " + prefix)) {
            found.push_back(line);
        }
    }
    return found;
}

TEST(ExternalEngineEndToEnd, TheEspeakNgProgramSpeaksEveryLine) {
    if (std::system("command -v espeak-ng >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the espeak-ng program is not installed (scripts/setup.sh installs it)";
    }
    EngineRun run = runWithEngine("espeak-ng -v cmn -w {wav} --stdin");
    EXPECT_TRUE(statusLines(run, "语音引擎失败").empty());
    EXPECT_GT(run.peak, 1000) << "the recorded audio is silent";
    // Three short lines of Mandarin: well over a second of speech between them.
    EXPECT_GT(run.audibleSeconds, 1.5);
    std::printf("recorded %.2f s of audio, peak %d\n", run.audibleSeconds, run.peak);
}

TEST(ExternalEngineEndToEnd, AFailingCommandIsReportedOnceAndNothingPlays) {
    EngineRun run = runWithEngine("espeak-ng --no-such-option -w {wav} --stdin");
    auto failures = statusLines(run, "语音引擎失败: ");
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_LT(run.peak, 300);
}

}  // namespace
