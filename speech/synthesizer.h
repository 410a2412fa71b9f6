// The seam between the speech worker and whatever turns a text into a WAV
// file: the built-in voices through the speech SDK, or a program the host
// names. The engine asks one of these per announcement and plays the file.
//
// Threads: synthesize on the speech worker only (one call at a time).
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#include "sdk/tts/speech_sdk.h"

namespace speech {

// What the dialog's settings say about the voice, as one synthesis sees them.
struct Voice {
    int index = 0;              // voice list entry
    int speed = 70;             // 1..100
    int volume = 100;           // 0..100
    std::string sessionParams;  // the SDK's parameter string for index and speed
    // When set and it turns true, the run ends early and writes nothing: the
    // host skipped or cleared the text, or the program closes.
    const std::atomic<bool>* stop = nullptr;
};

struct SynthesisResult {
    bool written = false;
    // Why nothing was written, for the host's status line (UTF-8). Empty when
    // there is nothing the host could act on.
    std::string failure;
};

class Synthesizer {
  public:
    virtual ~Synthesizer() = default;

    // Writes `gbkText` as speech into a WAV file at `wavPath` (a native path). When nothing
    // usable was written, no file is left at the path.
    virtual SynthesisResult synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                                       const Voice& voice) = 0;
};

// The built-in voices: the speech SDK writes 16-bit mono 16 kHz files.
class SdkSynthesizer : public Synthesizer {
  public:
    explicit SdkSynthesizer(tts::SpeechSdk& sdk) : sdk_(sdk) {}
    SynthesisResult synthesize(const std::string& gbkText, const std::filesystem::path& wavPath,
                               const Voice& voice) override;

  private:
    tts::SpeechSdk& sdk_;
};

}  // namespace speech
