// The speech engine the program runs with: the engine of speech/ wired to the
// real synthesiser and audio output.
#pragma once

#include <filesystem>

#include "core/speech_service.h"

namespace app {

// The engine with the espeak-ng synthesiser and the SDL audio output, writing
// its files into `wavesDir` (native path).
SpeechServiceFactory defaultSpeechFactory(std::filesystem::path wavesDir);

}  // namespace app
