// Which synthesizer speaks: the built-in voices, or the host's engine command
// when one is set. Tells the host once when the command fails, not once per
// announcement: the next report comes only after a success or a new command.
//
// Threads: configure and setStatusObserver from any thread; synthesize on the
// speech worker. The status observer runs on the speech worker.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "speech/synthesizer.h"
#include "sys/process.h"

namespace speech {

class SynthesisChoice {
  public:
    // The status line's text (GBK), e.g. "语音引擎失败: 退出码 1".
    using StatusObserver = std::function<void(const std::string& gbkStatus)>;

    // `builtIn` outlives this object.
    explicit SynthesisChoice(Synthesizer& builtIn, sys::ProcessLimits limits = {});

    // An empty (or blank) command selects the built-in voices. `rawText`
    // hands the command the text unchanged instead of its spoken form.
    void configure(const std::string& commandUtf8, int voiceIndex, int speed, int volume,
                   bool rawText = false);
    void setStatusObserver(StatusObserver observer);

    // Any thread: refuses later runs and kills a run under way that was given
    // no stop flag of its own (a caller that gives one sets it too), so that
    // the speech worker can be joined at once. For shutdown; not undone.
    void cancel() { cancelled_ = true; }

    // True when a file was written at `wavPath` (a native path). A run
    // ends early, writing nothing and reporting nothing, once `stop` (when
    // given) turns true.
    bool synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                    const std::string& sessionParams, const std::atomic<bool>* stop = nullptr);

  private:
    Synthesizer& builtIn_;
    sys::ProcessLimits limits_;
    std::mutex lock_;
    std::shared_ptr<Synthesizer> command_;  // null: the built-in voices
    std::string commandLine_;
    bool rawText_ = false;
    Voice voice_;
    StatusObserver observer_;
    bool failureReported_ = false;
    std::atomic<bool> cancelled_{false};
};

}  // namespace speech
