// How fast the Panda and Zhanqi clients turn received bytes into events: one
// Panda batch of three records, and one Zhanqi chat text and gift text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platforms/historic/panda/panda_protocol.h"
#include "platforms/historic/zhanqi/zhanqi_protocol.h"

namespace {

std::string be16(std::size_t n) {
    return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
}

std::string pandaBody() {
    const char* records[] = {
        R"({"type":"1","time":1473662127,"data":{"from":{"nickName":"小明","rid":"1"},"content":"  主播好厉害  "}})",
        R"({"type":"206","data":{"from":{"nickName":"竹林","rid":"2"},"content":"10"}})",
        R"({"type":"306","data":{"from":{"nickName":"阿花","rid":"3"},"content":{"name":"火箭","count":"2","price":"1"}}})",
    };
    std::string body;
    for (const char* r : records) {
        body += std::string(14, '\0') + be16(std::string(r).size()) + r;
    }
    return body;
}

void PandaBatchOfThree(benchmark::State& state) {
    std::string body = pandaBody();
    for (auto _ : state) {
        int events = 0;
        panda::forEachBatchRecord(
            body, [&](std::string_view json) { events += panda::parseMessage(json) ? 1 : 0; });
        benchmark::DoNotOptimize(events);
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(PandaBatchOfThree);

void ZhanqiChatAndGift(benchmark::State& state) {
    std::string chat = R"({"cmdid":"chatmessage","fromname":"小明","content":"＃ＡＢ１ 你好","level":3})";
    std::string gift =
        R"({"cmdid":"Gift.Use","data":{"count":3,"id":9,"name":"飞机","nickname":"阿花","roomid":41532}})";
    for (auto _ : state) {
        benchmark::DoNotOptimize(zhanqi::handleText(chat, 41532));
        benchmark::DoNotOptimize(zhanqi::handleText(gift, 41532));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(ZhanqiChatAndGift);

}  // namespace

BENCHMARK_MAIN();
