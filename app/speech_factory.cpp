#include "app/speech_factory.h"

#include "sdk/audio/sdl_audio_output.h"
#include "sdk/tts/espeak_sdk.h"
#include "speech/speech_engine.h"

namespace app {

namespace {

// The synthesiser and the audio device, in a base of their own so that they
// are built before the engine that holds references to them and destroyed
// after it: the engine's destructor still joins its worker, releases the
// device and logs out of the synthesiser.
struct RealSpeechParts {
    tts::EspeakSdk sdk;
    audio::SdlAudioOutput audio;
};

class ProgramSpeech : private RealSpeechParts, public SpeechEngine {
  public:
    explicit ProgramSpeech(std::filesystem::path wavesDir)
        : SpeechEngine(RealSpeechParts::sdk, RealSpeechParts::audio, &systemSeconds, std::move(wavesDir)) {}
};

}  // namespace

SpeechServiceFactory defaultSpeechFactory(std::filesystem::path wavesDir) {
    return [wavesDir = std::move(wavesDir)](boost::asio::io_context&) -> std::unique_ptr<SpeechService> {
        return std::make_unique<ProgramSpeech>(wavesDir);
    };
}

}  // namespace app
