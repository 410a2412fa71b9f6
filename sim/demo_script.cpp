#include "sim/demo_script.h"

namespace sim {

namespace {

using namespace std::chrono_literals;

ScriptEvent chat(const char* nickname, const char* text, std::chrono::milliseconds delay) {
    return {ScriptEvent::Kind::Chat, nickname, text, 1, delay};
}

ScriptEvent gift(const char* nickname, const char* name, int count, std::chrono::milliseconds delay) {
    return {ScriptEvent::Kind::Gift, nickname, name, count, delay};
}

ScriptEvent enter(const char* nickname, std::chrono::milliseconds delay) {
    return {ScriptEvent::Kind::Enter, nickname, "", 1, delay};
}

}  // namespace

RoomScript demoScript() {
    RoomScript script;
    script.events = {
        enter("小鱼干", 500ms),
        chat("甲", "你好世界", 1500ms),
        chat("路人乙", "[emot:dy101]主播今天状态真好", 2500ms),
        chat("丙丙", "666", 2500ms),
        gift("土豪丁", "赞", 1, 2000ms),
        gift("土豪丁", "赞", 2, 500ms),
        chat("阿戊", "这首歌叫什么名字呀", 3000ms),
        chat("话痨己", "我跟你们说今天早上出门的时候遇到一只特别可爱的小猫咪然后我就跟着它走了好远好远",
             2500ms),
        enter("新来的庚", 2000ms),
        chat("辛", "主播晚上好，来了来了", 2500ms),
        chat("壬", "ok", 2500ms),
        gift("癸", "飞机", 1, 2500ms),
        chat("甲", "下次直播是什么时候？", 4000ms),
    };
    return script;
}

}  // namespace sim
