#include "app/speech_factory.h"

#if SONARO_HAS_SPEECH
#include "speech/speech_engine.h"
#endif

namespace app {

SpeechServiceFactory defaultSpeechFactory(std::filesystem::path wavesDir) {
#if SONARO_HAS_SPEECH
    return [wavesDir = std::move(wavesDir)](boost::asio::io_context&) {
        return makeSpeechEngine(wavesDir);
    };
#else
    (void)wavesDir;
    return [](boost::asio::io_context&) -> std::unique_ptr<SpeechService> {
        return std::make_unique<SilentSpeech>();
    };
#endif
}

void SilentSpeech::pushText(std::string text, bool) {
    SpeakObserver observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer) {
        observer(text);
    }
}

bool SilentSpeech::addGift(const GiftEvent&) {
    return true;
}

void SilentSpeech::applySettings(const SpeechSettings&) {}

void SilentSpeech::setSpeakObserver(SpeakObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

}  // namespace app
