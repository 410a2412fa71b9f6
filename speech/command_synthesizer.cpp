#include "speech/command_synthesizer.h"

#include <cstdio>

#include "sdk/audio/wav_file.h"
#include "sdk/tts/spoken_form.h"
#include "speech/command_template.h"
#include "sys/sys.h"
#include "util/text.h"

namespace speech {

namespace {

constexpr std::size_t kLoggedLines = 4;
constexpr std::size_t kLoggedLineBytes = 200;

// Why a run gave no speech, in the host's words.
std::string describe(const sys::ProcessResult& run, std::int64_t timeoutMs) {
    using Outcome = sys::ProcessResult::Outcome;
    switch (run.outcome) {
        case Outcome::NotStarted:
            return "无法启动 (" + run.error + ")";
        case Outcome::TimedOut:
            return std::to_string(timeoutMs / 1000) + " 秒内没有完成";
        case Outcome::Cancelled:
            return {};  // shutting down: nothing to tell
        case Outcome::Killed:
            return "被信号 " + std::to_string(run.exitCode) + " 终止";
        case Outcome::Exited:
            return "退出码 " + std::to_string(run.exitCode);
    }
    return {};
}

}  // namespace

std::string firstLines(const std::string& output, std::size_t lines, std::size_t lineBytes) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t taken = 0; taken < lines && at < output.size(); ++taken) {
        std::size_t end = output.find('\n', at);
        if (end == std::string::npos) {
            end = output.size();
        }
        out.append(output, at, std::min(end - at, lineBytes));
        out += '\n';
        at = end + 1;
    }
    return out;
}

CommandSynthesizer::CommandSynthesizer(const std::string& commandLine, sys::ProcessLimits limits,
                                       bool rawText)
    : arguments_(splitCommandLine(commandLine)), limits_(limits), rawText_(rawText) {}

SynthesisResult CommandSynthesizer::synthesize(const std::string& gbkText,
                                               const std::filesystem::path& wavPath, const Voice& voice) {
    if (!arguments_) {
        return {false, "命令行的引号没有配对"};
    }
    if (arguments_->empty()) {
        return {false, "命令行是空的"};
    }
    sys::deleteFile(wavPath.string());  // only what this run writes may count
    std::string text = util::localToUtf8(gbkText);
    if (!rawText_) {
        text = tts::spokenForm(text);
        if (text.empty()) {
            return {};  // nothing to say is no failure
        }
    }
    Placeholders values{wavPath.string(), voiceDisplayName(voice.index), voice.speed, voice.volume};
    sys::ProcessLimits limits = limits_;
    if (voice.stop) {
        limits.cancelled = voice.stop;
    }
    sys::ProcessResult run = sys::runProcess(fillPlaceholders(*arguments_, values), text, limits);
    if (!run.output.empty()) {
        // The engine's own words go to standard error: standard output may be
        // the headless log.
        std::fprintf(stderr, "%s", firstLines(run.output, kLoggedLines, kLoggedLineBytes).c_str());
    }
    SynthesisResult result;
    if (!run.succeeded()) {
        result.failure = describe(run, limits_.timeout.count());
    } else {
        audio::WavFileReader wav;
        if (!wav.open(wavPath.string()) || wav.info().frames == 0) {
            result.failure = "没有写出可读的 WAV 文件";
        } else {
            result.written = true;
        }
    }
    if (!result.written) {
        sys::deleteFile(wavPath.string());
    }
    return result;
}

}  // namespace speech
