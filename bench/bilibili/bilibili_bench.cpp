// Figures for reading the chat commands: a chat line as the service sends it
// today (a wide "info" array with nested extras), a command nobody reads, and
// two hostile ones: 4 MB of "0," under a read command's name, and an 8 MB
// chat-server answer. Peak memory: run one at a time under /usr/bin/time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platforms/bilibili/bilibili_api.h"
#include "platforms/bilibili/bilibili_events.h"

namespace {

const std::string kChatLine =
    R"({"cmd":"DANMU_MSG","dm_v2":"","info":[[0,1,25,5816798,1733561742123,1733559120,0,"3b5c0a1e",0,0,0,"",0,)"
    R"("{}","{}",{"extra":"{\"send_from_me\":false,\"mode\":0,\"color\":5816798,\"dm_type\":0,\"font_size\":25,)"
    R"(\"player_mode\":1,\"show_player_type\":0,\"content\":\"主播晚上好,今天唱什么\",\"user_hash\":\"995887646\",)"
    R"(\"emoticon_unique\":\"\",\"bulge_display\":0,\"recommend_score\":3,\"main_state_dm_color\":\"\",)"
    R"(\"objective_state_dm_color\":\"\",\"direction\":0,\"pk_direction\":0,\"quartet_direction\":0,)"
    R"(\"anniversary_crowd\":0,\"yeah_space_type\":\"\",\"yeah_space_url\":\"\",\"jump_to_url\":\"\",)"
    R"(\"space_type\":\"\",\"space_url\":\"\",\"animation\":{},\"emots\":null,\"is_audited\":false,)"
    R"(\"id_str\":\"a3c0f9e2b5d84f1c8e7d6b5a4c3b2a1f\",\"icon\":null,\"show_reply\":true,\"reply_mid\":0,)"
    R"(\"reply_uname\":\"\",\"reply_uname_color\":\"\",\"reply_is_mystery\":false,\"hit_combo\":0}",)"
    R"("mode":0,"show_player_type":0,"user":{"uid":0,"base":{"name":"晚风","face":"https://i0.hdslb.com/bfs/face/)"
    R"(member/noface.jpg","is_mystery":false,"name_color":0,"name_color_str":"","official_info":{"desc":"",)"
    R"("role":0,"title":"","type":-1},"origin_info":{"face":"","name":""},"risk_ctrl_info":null},)"
    R"("guard":null,"guard_leader":{"is_guard_leader":false},"medal":null,"title":{"old_title_css_id":"",)"
    R"("title_css_id":""},"uhead_frame":null,"wealth":null}},{"activity_identity":"","activity_source":0,)"
    R"("not_show":0},0],"主播晚上好,今天唱什么",[0,"晚风",0,0,0,10000,1,""],[21,"小明灯","小明",7734200,)"
    R"(1725515,"",0,1725515,1725515,1725515,0,1,35434721],[12,0,6406234,"\u003e50000",0],["",""],0,0,null,)"
    R"({"ts":1733561742,"ct":"4A8C2B1F","uid":0},0,0,null,null,0,105,[8],null]})";

void BM_ParseChatLine(benchmark::State& state) {
    std::vector<bilibili::ChatCommand> events;
    for (auto _ : state) {
        events.clear();
        benchmark::DoNotOptimize(bilibili::parseCommand(kChatLine, events));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChatLine.size()));
}
BENCHMARK(BM_ParseChatLine);

void BM_SkipUnreadCommand(benchmark::State& state) {
    std::string rank = R"({"cmd":"ONLINE_RANK_V2","data":{"list":[)";
    for (int i = 0; i < 50; ++i) {
        rank += R"({"uid":)" + std::to_string(100000 + i) + R"(,"uname":"观众","score":"1000","rank":)" +
                std::to_string(i + 1) + "},";
    }
    rank += R"({}],"rank_type":"gold-rank"}})";
    std::vector<bilibili::ChatCommand> events;
    for (auto _ : state) {
        events.clear();
        benchmark::DoNotOptimize(bilibili::parseCommand(rank, events));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rank.size()));
}
BENCHMARK(BM_SkipUnreadCommand);

void BM_WideHostileChatLine(benchmark::State& state) {
    std::string wide = R"({"cmd":"DANMU_MSG","info":[)";
    while (wide.size() < (4u << 20)) {
        wide += "0,";
    }
    wide += "0]}";
    std::vector<bilibili::ChatCommand> events;
    for (auto _ : state) {
        events.clear();
        benchmark::DoNotOptimize(bilibili::parseCommand(wide, events));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wide.size()));
}
BENCHMARK(BM_WideHostileChatLine)->Unit(benchmark::kMillisecond);

void BM_HugeServerAnswer(benchmark::State& state) {
    std::string answer = R"({"code":0,"data":{"token":"t","host_list":[)";
    while (answer.size() < (8u << 20) - 100) {
        answer += R"({"host":"broadcastlv.chat.bilibili.com","port":2243,"wss_port":443,"ws_port":2244},)";
    }
    answer += R"({}]}})";
    for (auto _ : state) {
        benchmark::DoNotOptimize(bilibili::parseDanmuInfo(answer));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_HugeServerAnswer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
