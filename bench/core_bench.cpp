// Figures for the foundation: the round trip of one blocking delivery through
// the dialog's message window, and GBK conversion of a typical chat line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "core/feeder.h"
#include "util/text.h"

namespace {

// One blocking send from a network thread to a thread that dispatches, the
// way a client hands an event to the dialog. Reports median and p99.
void BM_BlockingSendRoundTrip(benchmark::State& state) {
    MessageWindow window([](unsigned, std::unique_ptr<ChatEvent>) {});
    std::atomic<bool> running{true};
    std::thread ui([&] {
        while (running) {
            window.waitAndDispatch(std::chrono::milliseconds(5));
        }
    });
    std::vector<double> samples;
    samples.reserve(1 << 16);
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        sendChat(window, "viewer", "hello");
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    }
    running = false;
    window.close();
    ui.join();
    std::sort(samples.begin(), samples.end());
    if (!samples.empty()) {
        state.counters["median_us"] = samples[samples.size() / 2];
        state.counters["p99_us"] = samples[samples.size() * 99 / 100];
    }
}
BENCHMARK(BM_BlockingSendRoundTrip)->UseRealTime()->Iterations(20000);

void BM_Utf8ToLocalChatLine(benchmark::State& state) {
    // 30 characters: Chinese with some ASCII, as a typical chat line.
    const std::string line = "主播今天状态真好666，这波操作太秀了吧哈哈哈ok来了来了";
    for (auto _ : state) {
        benchmark::DoNotOptimize(util::utf8ToLocal(line));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Utf8ToLocalChatLine);

}  // namespace

BENCHMARK_MAIN();
