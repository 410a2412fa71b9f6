// Chat messages through the dispatcher: parsing alone, and with the blocking
// hand-over to a dialog thread that takes each event.
#include <benchmark/benchmark.h>

#include <boost/asio/io_context.hpp>
#include <thread>

#include "platforms/historic/douyu/CDouyuTv.h"
#include "util/text.h"

namespace {

const std::string& chatText() {
    static const std::string text =
        "type@=chatmessage/receiver@=0/content@=" + std::string("主播晚上好，今天玩什么游戏呀") +
        "/scope@=/sender@=1234567/snick@=" + std::string("路过的观众") +
        "/dnick@=/cd@=0/maxl@=30/chatmsgid@=9/col@=0/ct@=0/gt@=0/";
    return text;
}

void parseChatMessages(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(douyu::parseMessage(chatText()));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(parseChatMessages);

void dispatchChatMessages(benchmark::State& state) {
    boost::asio::io_context io;
    std::size_t taken = 0;
    MessageWindow window([&](unsigned, std::unique_ptr<ChatEvent>) { ++taken; });
    std::thread dialog([&] {
        while (!window.isClosed()) {
            window.waitAndDispatch(std::chrono::milliseconds(5));
        }
    });
    CDouyuTv client(io, window, DouyuSettings{});
    for (auto _ : state) {
        client.dispatchMessage(chatText());
    }
    window.close();
    dialog.join();
    state.SetItemsProcessed(state.iterations());
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(dispatchChatMessages)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
