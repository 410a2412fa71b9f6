#include "speech/synthesis_choice.h"

#include "speech/command_synthesizer.h"
#include "speech/synthesis.h"
#include "util/text.h"

namespace speech {

SynthesisResult SdkSynthesizer::synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                                           const Voice& voice) {
    // The built-in voices fail only on a full disk or a broken install; the
    // host has never been told of those, and silence says as much.
    return {synthesizeToWav(sdk_, gbkText, wavPath, voice.sessionParams, voice.stop) == 0, {}};
}

SynthesisChoice::SynthesisChoice(Synthesizer& builtIn, sys::ProcessLimits limits)
    : builtIn_(builtIn), limits_(limits) {
    limits_.cancelled = &cancelled_;
}

void SynthesisChoice::configure(const std::string& commandUtf8, int voiceIndex, int speed, int volume,
                                bool rawText) {
    const bool blank = commandUtf8.find_first_not_of(" \t\r\n") == std::string::npos;
    std::lock_guard guard(lock_);
    voice_.index = voiceIndex;
    voice_.speed = speed;
    voice_.volume = volume;
    if (blank) {
        command_.reset();
        commandLine_.clear();
    } else if (commandUtf8 != commandLine_ || rawText != rawText_ || !command_) {
        command_ = std::make_shared<CommandSynthesizer>(commandUtf8, limits_, rawText);
        commandLine_ = commandUtf8;
        rawText_ = rawText;
        failureReported_ = false;
    }
}

void SynthesisChoice::setStatusObserver(StatusObserver observer) {
    std::lock_guard guard(lock_);
    observer_ = std::move(observer);
}

bool SynthesisChoice::synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                                 const std::string& sessionParams, const std::atomic<bool>* stop) {
    std::shared_ptr<Synthesizer> command;
    Voice voice;
    {
        std::lock_guard guard(lock_);
        command = command_;
        voice = voice_;
    }
    if (cancelled_) {
        return false;
    }
    voice.sessionParams = sessionParams;
    voice.stop = stop;
    // The run may take seconds: no lock is held across it.
    SynthesisResult result = (command ? *command : builtIn_).synthesize(gbkText, wavPath, voice);
    StatusObserver report;
    {
        std::lock_guard guard(lock_);
        if (command != command_ || (stop && stop->load())) {
            return result.written;  // the host changed the command meanwhile, or stopped the run
        }
        if (result.written) {
            failureReported_ = false;
        } else if (!result.failure.empty() && !failureReported_) {
            failureReported_ = true;
            report = observer_;
        }
    }
    if (report) {
        report(util::utf8ToLocal("语音引擎失败: " + result.failure));
    }
    return result.written;
}

}  // namespace speech
