// Cost of playing an external engine's WAV: converting it to the device's
// format when the stream is created, and mixing one device block.
#include <benchmark/benchmark.h>

#include <cmath>

#include "sdk/audio/mixer.h"

namespace {

audio::WavAudio tone(int rate, int channels, double seconds) {
    audio::WavAudio wav;
    wav.rate = rate;
    wav.channels = channels;
    wav.bytesPerSample = 2;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i) {
        auto value =
            static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c) {
            wav.samples.push_back(value);
        }
    }
    return wav;
}

// Seconds of audio converted per second of work, for 3 s announcements.
void BM_ConvertToOutputFormat(benchmark::State& state) {
    const audio::WavAudio wav = tone(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 3.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(audio::toOutputFormat(wav, 44100));
    }
    state.counters["audio_s_per_s"] =
        benchmark::Counter(3.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConvertToOutputFormat)
    ->Args({16000, 1})
    ->Args({22050, 1})
    ->Args({24000, 1})
    ->Args({48000, 2})
    ->Args({44100, 2})
    ->Unit(benchmark::kMillisecond);

// One 512-frame device block with `range(0)` streams playing.
void BM_MixBlock(benchmark::State& state) {
    audio::Mixer mixer(44100);
    const audio::WavAudio wav = tone(44100, 2, 10.0);
    std::vector<audio::StreamHandle> streams;
    for (int i = 0; i < state.range(0); ++i) {
        streams.push_back(mixer.add(wav));
    }
    std::vector<std::int16_t> out(512 * 2);
    std::vector<audio::Mixer::DueCall> due;
    std::vector<audio::StreamHandle> started;
    due.reserve(64);
    started.reserve(64);
    for (auto _ : state) {
        due.clear();
        started.clear();
        for (audio::StreamHandle stream : streams) {
            mixer.play(stream, false);  // from the start again once it has ended
        }
        mixer.mix(out.data(), 512, due, started);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(512.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixBlock)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
