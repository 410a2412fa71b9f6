#include "phases.h"

#include <algorithm>
#include <cstdio>

#include "audio_onsets.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

namespace harness {

using namespace std::chrono_literals;

// The engine's own synthesis of `text` with the settings' voice and speed.
std::optional<Synthesis> synthesise(tts::SpeechSdk& sdk, const std::string& text,
                                    const app::Settings& settings, const std::string& path) {
    auto start = Clock::now();
    if (speech::synthesizeToWav(sdk, util::utf8ToLocal(text), path,
                                speech::buildSessionParams(settings.voice, settings.speed)) != 0) {
        return std::nullopt;
    }
    Synthesis result{seconds(Clock::now() - start), 0, 0, 0};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    std::fseek(file, 44, SEEK_SET);
    std::int16_t sample = 0;
    long silent = 0, total = 0, sinceSound = 0;
    bool sounding = false;
    while (std::fread(&sample, sizeof sample, 1, file) == 1) {
        ++total;
        sounding = sounding || sample != 0;
        silent += sounding ? 0 : 1;
        sinceSound = sample != 0 ? 0 : sinceSound + 1;
    }
    std::fclose(file);
    result.audioSeconds = static_cast<double>(total) * 2 / kWavBytesPerSecond;
    result.leadingSilence = static_cast<double>(silent) * 2 / kWavBytesPerSecond;
    result.trailingSilence = static_cast<double>(sounding ? sinceSound : 0) * 2 / kWavBytesPerSecond;
    return result;
}

void latencyPhase(const Options& options) {
    say(format("\nchat-to-speech latency: %.0f ten-character lines, one at a time, idle room",
               options.latencyLines));
    app::Settings settings = quietSettings();
    settings.speakNickname = false;  // the line alone is spoken

    std::vector<std::string> texts;
    for (int i = 0; i < options.latencyLines; ++i) {
        texts.push_back(tenCharacterLines()[static_cast<std::size_t>(i) % tenCharacterLines().size()]);
    }
    // The floor: the same texts through the same synthesis call, nothing else running.
    std::vector<double> floor, leading;
    double longest = 0;
    {
        tts::EspeakSdk sdk;
        if (sdk.login(nullptr, nullptr, speech::kSdkLoginParams) != 0) {
            say("  the speech SDK did not log in");
            return;
        }
        testing_support::TempDir scratch;
        for (const auto& text : texts) {
            auto result = synthesise(sdk, text, settings, scratch.file("floor.wav"));
            if (!result) {
                say("  synthesis failed");
                return;
            }
            floor.push_back(result->seconds * 1000);
            leading.push_back(result->leadingSilence * 1000);
            longest = std::max(longest, result->audioSeconds);
        }
        sdk.logout();
    }
    // Each line is sent once the one before has surely finished playing.
    const auto spacing = ms((std::min(longest, static_cast<double>(settings.speechSeconds)) + 1.5) * 1000);
    sim::RoomScript script;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        script.events.push_back(chat("观众", texts[i], i == 0 ? 3000ms : spacing));
    }
    FrameLog log;
    sim::DouyuRoom room(script, roomOptions(&log));
    ProgramRun program(options.executable, room, settings);
    harness::AudioOnsets onsets(program.audioFile(), kOutputRate);
    if (!startedAndJoined(program)) {
        return;
    }
    std::vector<double> latency, aboveFloor;
    for (int serial = 1; serial <= static_cast<int>(texts.size()); ++serial) {
        if (!testing_support::waitUntil([&] { return log.sent(serial).has_value(); }, spacing + 10s)) {
            say("  a line was never sent");
            break;
        }
        auto onset = onsets.firstOnsetAfter(*log.sent(serial), spacing);
        if (!onset) {
            say(format("  line %.0f was not heard", serial));
            continue;
        }
        latency.push_back(seconds(*onset - *log.sent(serial)) * 1000);
        aboveFloor.push_back(latency.back() - floor[static_cast<std::size_t>(serial - 1)]);
    }
    program.stop();
    report("lines heard",
           format("%.0f of %.0f", static_cast<double>(latency.size()), static_cast<double>(texts.size())));
    report("synthesis time (floor) median/p90/p99", format("%.0f / %.0f / %.0f ms", percentile(floor, 50),
                                                           percentile(floor, 90), percentile(floor, 99)));
    report("leading silence in the files, median",
           format("%.1f ms (counted in the latency)", percentile(leading, 50)));
    report("chat-to-speech median/p90/p99", format("%.0f / %.0f / %.0f ms", percentile(latency, 50),
                                                   percentile(latency, 90), percentile(latency, 99)));
    const bool allHeard = latency.size() == texts.size();
    const double median = percentile(latency, 50), budget = percentile(floor, 50) + 25;
    report("latency median vs synthesis + 25 ms", format("%.0f ms", median), format("<= %.0f ms", budget),
           allHeard && median <= budget);
    const double p99 = percentile(latency, 99), tailBudget = percentile(floor, 99) + 80;
    report("latency p99 vs synthesis p99 + 80 ms", format("%.0f ms", p99), format("<= %.0f ms", tailBudget),
           allHeard && p99 <= tailBudget);
    report("latency above its own line's synthesis, median",
           format("%.0f ms (p90 %.0f ms)", percentile(aboveFloor, 50), percentile(aboveFloor, 90)));
}

}  // namespace harness
