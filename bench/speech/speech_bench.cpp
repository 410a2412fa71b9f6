// Speech pipeline figures: how fast the synthesiser runs against real time,
// how long a pushed text takes to reach the audio device when the engine is
// idle, and what an idle engine costs in CPU.
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "sdk/audio/sdl_audio_output.h"
#include "sdk/tts/espeak_sdk.h"
#include "sdk/tts/spoken_form.h"
#include "speech/speech_engine.h"
#include "speech/synthesis.h"
#include "util/text.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kTwelveCharacters = "欢迎朋友们来到我的直播间";

std::string scratchDir() {
    auto dir = std::filesystem::temp_directory_path() / "sonaro-speech-bench";
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

tts::EspeakSdk& loggedInSdk() {
    static tts::EspeakSdk sdk;
    static bool loggedIn = sdk.login(nullptr, nullptr, speech::kSdkLoginParams) == 0;
    if (!loggedIn) {
        std::abort();
    }
    return sdk;
}

// Real-time factor of synthesizeToWav as the worker runs it (polling the SDK
// every 50 ms), for the voice index given as the argument.
void BM_SynthesisRealTimeFactor(benchmark::State& state) {
    auto& sdk = loggedInSdk();
    const int voice = static_cast<int>(state.range(0));
    const std::string text = util::utf8ToLocal(kTwelveCharacters);
    const std::string path = scratchDir() + "rtf.wav";
    const std::string params = speech::buildSessionParams(voice, 70);
    double synthesis = 0, audio = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (speech::synthesizeToWav(sdk, text, path, params) != 0) {
            state.SkipWithError("synthesis failed");
            return;
        }
        synthesis += seconds(Clock::now() - start);
        audio += static_cast<double>(std::filesystem::file_size(path) - 44) / 32000.0;
    }
    state.SetLabel(speech::voiceNameForIndex(voice));
    state.counters["audio_s"] = audio / static_cast<double>(state.iterations());
    state.counters["rtf"] = synthesis / audio;
}
BENCHMARK(BM_SynthesisRealTimeFactor)->Arg(0)->Arg(2)->Arg(13)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same with a 1 ms poll: the synthesiser's own speed.
void BM_SynthesiserOnlyRealTimeFactor(benchmark::State& state) {
    auto& sdk = loggedInSdk();
    const int voice = static_cast<int>(state.range(0));
    const std::string text = util::utf8ToLocal(kTwelveCharacters);
    const std::string path = scratchDir() + "rtf-raw.wav";
    const std::string params = speech::buildSessionParams(voice, 70);
    double synthesis = 0, audio = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        speech::synthesizeToWav(sdk, text, path, params, [](std::uint32_t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        synthesis += seconds(Clock::now() - start);
        audio += static_cast<double>(std::filesystem::file_size(path) - 44) / 32000.0;
    }
    state.SetLabel(speech::voiceNameForIndex(voice));
    state.counters["rtf"] = synthesis / audio;
}
BENCHMARK(BM_SynthesiserOnlyRealTimeFactor)
    ->Arg(0)
    ->Arg(2)
    ->Arg(13)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// An engine with the real synthesiser and audio output.
struct RunningEngine {
    RunningEngine() {
        audio.setFirstSampleHook([this](audio::StreamHandle) {
            firstSample.store(Clock::now().time_since_epoch().count());
            ++started;
        });
        engine = std::make_unique<SpeechEngine>(
            sdk, audio, [] { return static_cast<std::int64_t>(std::time(nullptr)); }, scratchDir() + "waves");
        SpeechSettings settings;
        settings.durationLimit = 0.3;  // keeps each round short
        engine->applySettings(settings);
        engine->loginSdk();
    }

    tts::EspeakSdk sdk;
    audio::SdlAudioOutput audio;
    std::unique_ptr<SpeechEngine> engine;
    std::atomic<Clock::rep> firstSample{0};
    std::atomic<int> started{0};
};

template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// From pushText to the first sample mixed into the output, with the engine idle.
void BM_PushToFirstSample(benchmark::State& state) {
    RunningEngine running;
    const std::string text = util::utf8ToLocal("你好");
    std::vector<double> latencies;
    for (auto _ : state) {
        for (int round = 0; round < 20; ++round) {
            int before = running.started;
            auto pushed = Clock::now();
            running.engine->pushText(text, false);
            if (!waitFor([&] { return running.started > before; }, std::chrono::seconds(5))) {
                state.SkipWithError("nothing played");
                return;
            }
            Clock::time_point first{Clock::duration{running.firstSample.load()}};
            latencies.push_back(seconds(first - pushed) * 1000);
            // Idle again: the file played to its cut and was deleted.
            waitFor([&] { return std::filesystem::is_empty(scratchDir() + "waves"); },
                    std::chrono::seconds(5));
            std::this_thread::sleep_for(
                std::chrono::milliseconds(37 * round % 100));  // vary the worker's phase
        }
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["p90_ms"] = latencies[latencies.size() * 9 / 10];
}
BENCHMARK(BM_PushToFirstSample)->Iterations(1)->Unit(benchmark::kMillisecond);

double cpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// CPU used over 10 s by an idle engine: the whole process (the worker and
// the playback thread asleep, the audio device mixing silence).
void BM_IdleEngineCpu(benchmark::State& state) {
    RunningEngine running;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    double process = 0;
    for (auto _ : state) {
        double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
    }
    state.counters["process_cpu_pct"] = process / 10 * 100;
}
BENCHMARK(BM_IdleEngineCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The spoken form of a megabyte line of typical chat (symbols, emoji,
// numbers, runs, addresses): one pass, so it must stay far below a second.
void BM_SpokenFormOfAMegabyteLine(benchmark::State& state) {
    const std::string piece = "主播666666~~~ 涨了12.5%!! 😀 @甲 https://x.cn/a 哈哈哈哈哈哈 1+1=2 ";
    std::string line;
    while (line.size() < (1u << 20)) {
        line += piece;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(tts::spokenForm(line));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_SpokenFormOfAMegabyteLine)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratchDir());
    return 0;
}
