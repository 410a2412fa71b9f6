#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>

#include "phases.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/synthesis.h"
#include "temp_dir.h"

namespace harness {

using namespace std::chrono_literals;

namespace {

// A stretch of silence in what the audio driver wrote, in frames.
struct Quiet {
    long start;
    long length;
};

// The stretches of silence between the first and the last sound of a raw
// 16-bit stereo recording.
std::vector<Quiet> quietStretches(const std::string& path) {
    std::vector<Quiet> stretches;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return stretches;
    }
    std::vector<char> buffer(1 << 16);
    long frame = 0, quietFrom = -1;
    bool heard = false;
    std::size_t carried = 0;
    for (;;) {
        ssize_t got = ::read(fd, buffer.data() + carried, buffer.size() - carried);
        if (got <= 0) {
            break;
        }
        std::size_t bytes = carried + static_cast<std::size_t>(got), at = 0;
        for (; at + 4 <= bytes; at += 4, ++frame) {
            std::int16_t left = 0, right = 0;
            std::memcpy(&left, &buffer[at], 2);
            std::memcpy(&right, &buffer[at + 2], 2);
            if (left == 0 && right == 0) {
                if (quietFrom < 0) {
                    quietFrom = frame;
                }
                continue;
            }
            if (heard && quietFrom >= 0) {
                stretches.push_back({quietFrom, frame - quietFrom});
            }
            heard = true;
            quietFrom = -1;
        }
        carried = bytes - at;
        std::memmove(buffer.data(), buffer.data() + at, carried);
    }
    ::close(fd);
    return stretches;
}

}  // namespace

void gapPhase(const Options& options) {
    const int lines = options.gapLines;
    say(format("\ngap between announcements: %.0f ten-character lines at once, played one after another",
               lines));
    app::Settings settings = quietSettings();
    settings.speakNickname = false;
    std::vector<std::string> texts;
    for (int i = 0; i < lines; ++i) {
        texts.push_back(tenCharacterLines()[static_cast<std::size_t>(i) % tenCharacterLines().size()]);
    }
    // The files' own silence at their ends, which the recording holds too.
    std::vector<double> fileSilence;  // trailing of one file plus leading of the next, ms
    double playing = 0;
    {
        tts::EspeakSdk sdk;
        if (sdk.login(nullptr, nullptr, speech::kSdkLoginParams) != 0) {
            say("  the speech SDK did not log in");
            return;
        }
        testing_support::TempDir scratch;
        std::optional<Synthesis> previous;
        for (const auto& text : texts) {
            auto result = synthesise(sdk, text, settings, scratch.file("gap.wav"));
            if (!result) {
                say("  synthesis failed");
                return;
            }
            if (previous) {
                fileSilence.push_back((previous->trailingSilence + result->leadingSilence) * 1000);
            }
            playing += std::min(result->audioSeconds, static_cast<double>(settings.speechSeconds));
            previous = result;
        }
        sdk.logout();
    }
    sim::RoomScript script;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        script.events.push_back(chat("观众", texts[i], i == 0 ? 3000ms : 0ms));
    }
    sim::DouyuRoom room(script, roomOptions(nullptr));
    ProgramRun program(options.executable, room, settings);
    if (!startedAndJoined(program)) {
        return;
    }
    // The burst arrives 3 s after the join; then everything plays back to back.
    std::this_thread::sleep_for(ms((3 + playing + 4) * 1000));
    program.stop();

    // Between announcements the recording is silent for at least the files'
    // own silence; pauses inside one announcement are shorter. The longest
    // stretches, one fewer than the announcements, are the gaps between them.
    auto stretches = quietStretches(program.audioFile());
    if (stretches.size() + 1 < texts.size()) {
        say(format("  only %.0f stretches of silence in the recording",
                   static_cast<double>(stretches.size())));
        return;
    }
    std::sort(stretches.begin(), stretches.end(), [](auto& a, auto& b) { return a.length > b.length; });
    stretches.resize(texts.size() - 1);
    std::sort(stretches.begin(), stretches.end(), [](auto& a, auto& b) { return a.start < b.start; });
    std::vector<double> gaps, added;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        gaps.push_back(static_cast<double>(stretches[i].length) * 1000 / kOutputRate);
        added.push_back(gaps.back() - fileSilence[i]);
    }
    report("silence between announcements, median / max",
           format("%.0f / %.0f ms", percentile(gaps, 50), percentile(gaps, 100)));
    report("  of it the files' own silence at their ends, median",
           format("%.0f ms", percentile(fileSilence, 50)));
    report("gap the player adds, median / max",
           format("%.0f / %.0f ms", percentile(added, 50), percentile(added, 100)));
}

}  // namespace harness
