// Speech from a program the host names: one run per announcement, the text
// on its standard input (UTF-8), a WAV file expected at the path given by
// {wav}. Any WAV the audio output reads will do. The program gets the text's
// spoken form (engines stumble on chat's symbols as the built-in voices do)
// unless the host asks for the text as it stands; a text with nothing to say
// runs no program at all.
//
// Threads: construct anywhere; synthesize on the speech worker.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "speech/synthesizer.h"
#include "sys/process.h"

namespace speech {

class CommandSynthesizer : public Synthesizer {
  public:
    // `commandLine` is UTF-8, split as splitCommandLine says.
    // `rawText`: hand the program the text unchanged, for engines that
    // normalise text themselves.
    explicit CommandSynthesizer(const std::string& commandLine, sys::ProcessLimits limits = {},
                                bool rawText = false);

    SynthesisResult synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                               const Voice& voice) override;

  private:
    std::optional<std::vector<std::string>> arguments_;  // nothing: the line does not split
    sys::ProcessLimits limits_;
    bool rawText_;
};

// The first lines of a program's output, each cut short, for the log.
std::string firstLines(const std::string& output, std::size_t lines, std::size_t lineBytes);

}  // namespace speech
