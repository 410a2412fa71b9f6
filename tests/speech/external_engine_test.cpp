// Speech through a program the host names, with a fake engine: a shell script
// the test writes, which records what it was given and acts on the text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../platforms/golden.h"
#include "audio_analysis.h"
#include "fake_sdk.h"
#include "speech/command_synthesizer.h"
#include "speech/command_template.h"
#include "speech/speech_engine.h"
#include "speech/synthesis_choice.h"
#include "sys/process.h"
#include "sys/sys.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace {

using namespace std::chrono_literals;

const char* const kFakeEngine = R"sh(#!/bin/sh
dir="$(dirname "$0")"
printf '%s\0' "$@" > "$dir/args.bin"
cat > "$dir/stdin.txt"
case "$(cat "$dir/stdin.txt")" in
  *slow*) sleep 30 & echo $! > "$dir/sleeper.txt"; wait ;;
  *fail*) echo "engine: no model here" >&2; exit 3 ;;
  *chatty*) i=0; while [ $i -lt 500 ]; do echo "line $i"; i=$((i+1)); done ;;
  *nowav*) exit 0 ;;
esac
while [ $# -gt 0 ]; do
  if [ "$1" = "-o" ]; then cp "$dir/tone.wav" "$2"; fi
  shift
done
)sh";

// Counts what reaches the built-in voices instead.
struct BuiltIn : speech::Synthesizer {
    int calls = 0;
    speech::SynthesisResult synthesize(const std::string&, const std::filesystem::path& wavPath,
                                       const speech::Voice&) override {
        ++calls;
        testing_support::writeToneWav(wavPath.string(), 0.1);
        return {true, {}};
    }
};

// Keeps the last gain playback asked for.
struct GainRecorder : testing_support::EndlessOutput {
    std::atomic<float> gain{-1};
    bool channelSetVolume(audio::StreamHandle, float value) override {
        gain = value;
        return true;
    }
};

class ExternalEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        engineDir = dir.file("fake engine");  // a space the command line must quote
        std::filesystem::create_directories(engineDir);
        std::filesystem::create_directories(dir.file("语音 files"));
        engine = engineDir + "/engine.sh";
        std::ofstream(engine) << kFakeEngine;
        std::filesystem::permissions(engine, std::filesystem::perms::owner_all);
        testing_support::writeToneWav(engineDir + "/tone.wav", 0.1);
        choice.setStatusObserver(
            [this](const std::string& gbk) { statuses.push_back(util::localToUtf8(gbk)); });
        use("\"" + engine + "\" -o {wav}");
    }

    void use(const std::string& command) { choice.configure(command, 13, 35, 80); }

    // A whole engine speaking through `command` at 音量 50; its clock stands still.
    std::unique_ptr<SpeechEngine> engineFor(const std::string& command, audio::AudioOutput& output) {
        auto made = std::make_unique<SpeechEngine>(
            sdk, output, [] { return std::int64_t{1'700'000'000}; }, dir.file("waves"));
        EXPECT_EQ(made->loginSdk(), 0);
        SpeechSettings settings;
        settings.volume = 50;
        settings.engineCommand = command;
        made->applySettings(settings);
        return made;
    }

    // Synthesises a UTF-8 text into a fresh file; true when the file is there.
    bool speak(const std::string& utf8) {
        wav = dir.file("语音 files/" + std::to_string(++count) + ".wav");
        bool written = choice.synthesize(util::utf8ToLocal(utf8), std::filesystem::path(wav), "unused");
        EXPECT_EQ(written, sys::fileExists(wav)) << utf8;
        return written;
    }

    // True once process `pid` is gone or a zombie waiting to be reaped.
    static bool ended(const std::string& pid) {
        const std::string stat =
            testing_support::readFile("/proc/" + std::to_string(std::stoi(pid)) + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    }

    testing_support::TempDir dir;
    std::string engineDir, engine, wav;
    int count = 0;
    BuiltIn builtIn;
    speech::SynthesisChoice choice{builtIn, sys::ProcessLimits{std::chrono::milliseconds(1000), 4096}};
    std::vector<std::string> statuses;
    testing_support::FakeSdk sdk;
};

TEST_F(ExternalEngine, TextArrivesOnStandardInputAsUtf8AndNoShellReadsIt) {
    for (const auto& c : testing_support::goldenCases("speech/engine_stdin.txt")) {
        for (bool raw : {false, true}) {
            choice.configure("\"" + engine + "\" -o {wav}", 13, 35, 80, raw);
            std::filesystem::remove(engineDir + "/stdin.txt");
            const std::string received = raw ? c.in : c.out;
            EXPECT_EQ(speak(c.in), !received.empty()) << c.in;
            EXPECT_EQ(testing_support::readFile(engineDir + "/stdin.txt"), received) << c.in;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(engineDir + "/pwned"));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_EQ(builtIn.calls, 0);
    EXPECT_TRUE(statuses.empty());
}

TEST_F(ExternalEngine, ArgumentsAreSplitLikeADesktopEntryAndFilledInPlace) {
    use("\"" + engine + "\" -o {wav} --voice={voice} \"speed {speed}, volume {volume}\" 'single' $(id) ; " +
        "\"a\\\"b\\\\c\\$d\" {unknown} \"\"\t{wav}{wav}");
    ASSERT_TRUE(speak("你好"));
    std::string expected;  // each argument ends in a NUL
    for (const std::string& arg :
         std::vector<std::string>{"-o", wav, "--voice=晓美", "speed 35, volume 80", "'single'", "$(id)", ";",
                                  "a\"b\\c$d", "{unknown}", "", wav + wav}) {
        expected += arg + '\0';
    }
    EXPECT_EQ(testing_support::readFile(engineDir + "/args.bin"), expected);
}

// What the engine says goes to standard error, cut short.
TEST_F(ExternalEngine, FailuresLoseOnlyTheirLineAndAreReportedOnceUntilARunSucceeds) {
    const struct {
        const char* text;
        bool written;
        std::size_t statusesAfter;
    } steps[] = {
        {"one", true, 0}, {"fail a", false, 1}, {"fail b", false, 1}, {"nowav", false, 1},
        {"two", true, 1}, {"slow", false, 2},   {"three", true, 2},   {"chatty", true, 2},
    };
    testing::internal::CaptureStderr();
    for (const auto& step : steps) {
        EXPECT_EQ(speak(step.text), step.written) << step.text;
        EXPECT_EQ(statuses.size(), step.statusesAfter) << step.text;
    }
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_NE(logged.find("engine: no model here"), std::string::npos);
    EXPECT_NE(logged.find("line 0\n"), std::string::npos);
    EXPECT_EQ(logged.find("line 10\n"), std::string::npos) << logged;
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0], "语音引擎失败: 退出码 3");
    EXPECT_EQ(statuses[1], "语音引擎失败: 1 秒内没有完成");
    // The time-out killed what the engine had started, not only the engine.
    const std::string sleeper = testing_support::readFile(engineDir + "/sleeper.txt");
    ASSERT_FALSE(sleeper.empty());
    EXPECT_TRUE(testing_support::waitUntil([&] { return ended(sleeper); }));
}

TEST_F(ExternalEngine, CommandsThatCannotRunSayWhyAndBlankOnesMeanTheBuiltInVoices) {
    const struct {
        std::string command;
        const char* status;  // empty: the built-in voices speak
    } cases[] = {
        {"/no/such/engine -o {wav}", "语音引擎失败: 无法启动 (No such file or directory)"},
        {"\"" + engine + " -o {wav}", "语音引擎失败: 命令行的引号没有配对"},
        {"\"\" -o {wav}", "语音引擎失败: 无法启动 (empty command)"},
        {"  \t ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        statuses.clear();
        const int before = builtIn.calls;
        use(c.command);
        const bool written = speak("你好");
        if (*c.status) {
            EXPECT_FALSE(written) << c.command;
            EXPECT_EQ(statuses, std::vector<std::string>{c.status}) << c.command;
        } else {
            EXPECT_EQ(builtIn.calls, before + 1) << c.command;
        }
    }
}

// Neither closing nor clearing waits out an engine's time limit: the run
// under way is killed with what it started, and nothing is reported for it.
TEST_F(ExternalEngine, ClosingOrClearingEndsARunUnderWayAtOnce) {
    for (bool close : {true, false}) {
        SCOPED_TRACE(close ? "close" : "clear");
        std::filesystem::remove(engineDir + "/sleeper.txt");
        testing_support::EndlessOutput output;
        auto speechEngine = engineFor("\"" + engine + "\" -o {wav}", output);
        std::vector<std::string> engineStatuses;
        speechEngine->setStatusObserver([&](const std::string& gbk) { engineStatuses.push_back(gbk); });
        speechEngine->pushText("slow", false);
        std::string sleeper;
        ASSERT_TRUE(testing_support::waitUntil(
            [&] { return !(sleeper = testing_support::readFile(engineDir + "/sleeper.txt")).empty(); }, 20s));
        const auto stopping = std::chrono::steady_clock::now();
        if (close) {
            speechEngine.reset();
        } else {
            speechEngine->clear();
            speechEngine->pushText("next", false);
            EXPECT_TRUE(testing_support::waitUntil(
                [&] { return testing_support::readFile(engineDir + "/stdin.txt") == "next"; }));
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - stopping).count();
        EXPECT_LT(seconds, 5.0);  // the run's limit is 10 s
        // What the run started is gone too (a zombie until someone reaps it).
        EXPECT_TRUE(testing_support::waitUntil([&] { return ended(sleeper); }));
        speechEngine.reset();
        EXPECT_TRUE(engineStatuses.empty());
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("waves")));
    }
}

TEST(Process, LargeInputAndOutputNeitherDeadlockNorEndTheCaller) {
    const std::string input(1 << 20, 'x');
    const struct {
        std::vector<std::string> argv;
        std::size_t outputBytes;
    } cases[] = {
        {{"cat"}, 4096},  // echoes while we still write: both pipes must keep moving
        {{"true"}, 0},    // never reads its input: the write fails, SIGPIPE must not end us
        {{"sh", "-c", "exec 0<&-; sleep 0.2"}, 0},
    };
    for (const auto& c : cases) {
        sys::ProcessResult run = sys::runProcess(c.argv, input, {std::chrono::seconds(20), 4096});
        EXPECT_TRUE(run.succeeded()) << c.argv[0];
        EXPECT_EQ(run.output.size(), c.outputBytes) << c.argv[0];
    }
}

TEST_F(ExternalEngine, AVolumeTheCommandTakesIsNotAppliedAgainOnPlayback) {
    const struct {
        std::string command;
        float gain;  // at 音量 50
    } cases[] = {
        {"", 0.5f},                                         // built-in voices: playback sets the level
        {"\"" + engine + "\" -o {wav}", 0.5f},              // the command leaves the level alone
        {"\"" + engine + "\" -o {wav} -a {volume}", 1.0f},  // the command set it already
        {"\"" + engine + "\" -o {wav} \"--gain={volume}%\"", 1.0f},
        {"\"" + engine + "\" -o {wav} -a {Volume}", 0.5f},  // not a placeholder
    };
    for (const auto& row : cases) {
        GainRecorder output;
        auto speechEngine = engineFor(row.command, output);
        speechEngine->pushText("hello there", false);
        ASSERT_TRUE(testing_support::waitUntil([&] { return output.gain >= 0; }, 10s)) << row.command;
        EXPECT_FLOAT_EQ(output.gain, row.gain) << row.command;
    }
}

}  // namespace
