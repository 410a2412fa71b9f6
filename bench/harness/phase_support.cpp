#include <algorithm>
#include <cmath>
#include <cstdio>

#include "phases.h"

namespace harness {

using namespace std::chrono_literals;

namespace {
std::vector<Figure> reported;
}  // namespace

void report(std::string name, std::string value, std::string target, bool met) {
    Figure figure{std::move(name), std::move(value), std::move(target), met};
    std::printf("  %-44s %s%s%s\n", figure.name.c_str(), figure.value.c_str(),
                figure.target.empty() ? "" : "   target: ", figure.target.c_str());
    if (!figure.target.empty()) {
        std::printf("  %-44s %s\n", "", figure.met ? "-> met" : "-> MISSED");
    }
    std::fflush(stdout);
    reported.push_back(std::move(figure));
}

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::string format(const char* pattern, double a, double b, double c, double d) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d);
    return buffer;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    double rank = p / 100.0 * static_cast<double>(values.size() - 1);
    auto below = static_cast<std::size_t>(std::floor(rank));
    auto above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - static_cast<double>(below));
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::chrono::milliseconds ms(double value) {
    return std::chrono::milliseconds(static_cast<long>(value));
}

double mebibytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

const std::vector<Figure>& figures() {
    return reported;
}

const std::vector<std::string>& tenCharacterLines() {
    static const std::vector<std::string> lines{
        "主播今天的状态真不错啊", "这一波操作我给满分了", "大家晚上好我又来看了", "刚下班就赶过来看直播",
        "这个游戏画面真的好看",   "主播能不能再来一把呢", "弹幕护体大家冲啊冲啊", "今天的歌唱得真好听啊",
        "新来的朋友点点关注吧",   "明天几点开播记得说哦"};
    return lines;
}

sim::ScriptEvent chat(const std::string& nickname, const std::string& text, std::chrono::milliseconds delay) {
    return {sim::ScriptEvent::Kind::Chat, nickname, text, 1, delay};
}

std::vector<sim::ScriptEvent> pacedChat(long count, double rate, std::chrono::milliseconds lead) {
    std::vector<sim::ScriptEvent> events;
    events.reserve(static_cast<std::size_t>(count));
    const auto& lines = tenCharacterLines();
    long previousDue = 0;
    for (long k = 0; k < count; ++k) {
        auto due = static_cast<long>(static_cast<double>(k) * 1000.0 / rate);
        auto delay = k == 0 ? lead : std::chrono::milliseconds(due - previousDue);
        previousDue = due;
        events.push_back(
            chat("观众" + std::to_string(k % 97), lines[static_cast<std::size_t>(k) % lines.size()], delay));
    }
    return events;
}

sim::DouyuRoomOptions roomOptions(FrameLog* log, bool timeEveryFrame) {
    sim::DouyuRoomOptions options;
    if (log) {
        options.onScriptFrame = [log, timeEveryFrame](int serial, std::size_t unsent) {
            if (timeEveryFrame) {
                log->note(serial, unsent);
            } else {
                std::lock_guard lock(log->mutex);
                log->peakUnsent = std::max(log->peakUnsent, unsent);
                log->lastUnsent = unsent;
                ++log->frames;
            }
        };
    }
    return options;
}

app::Settings quietSettings() {
    app::Settings settings;
    settings.speakGifts = false;
    return settings;
}

bool startedAndJoined(ProgramRun& program) {
    if (program.pid() <= 0 || !program.waitJoined(30s)) {
        say("  the program did not join the room");
        return false;
    }
    return true;
}

}  // namespace harness
