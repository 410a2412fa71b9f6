#include "sdk/tts/espeak_sdk.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <string>
#include <thread>
#include <vector>

#include "sdk/tts/espeak_lexicon.h"
#include "sdk/tts/resampler.h"
#include "sdk/tts/sdk_params.h"
#include "sdk/tts/spoken_form.h"
#include "util/text.h"

namespace tts {

struct EspeakSdk::Session {
    explicit Session(const SessionParams& p, int engineRate)
        : params(p), resampler(engineRate, p.sampleRate) {}

    const SessionParams params;
    std::atomic<bool> abort{false};
    std::thread synthesis;

    std::mutex lock;  // guards everything below
    Resampler resampler;
    std::vector<std::int16_t> pending;    // produced, not yet handed out
    std::vector<std::int16_t> delivered;  // backs the pointer audioGet returned
    bool textGiven = false;
    bool finished = false;
    int failure = kSdkOk;
};

namespace {

int onSynthesis(short* samples, int count, espeak_EVENT* events);

// The process-wide synthesiser, set up on first use.
struct Engine {
    Engine() {
        espeak_ng_InitializePath(nullptr);
        if (espeak_ng_Initialize(nullptr) != ENS_OK) {
            return;
        }
        if (espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 100, nullptr) != ENS_OK) {
            return;
        }
        espeak_SetSynthCallback(&onSynthesis);
        sampleRate = espeak_ng_GetSampleRate();
        ready = sampleRate > 0;
    }

    bool ready = false;
    int sampleRate = 0;
    std::mutex synthesisLock;  // the synthesiser runs one text at a time
};

Engine& engine() {
    static Engine instance;
    return instance;
}

int onSynthesis(short* samples, int count, espeak_EVENT* events) {
    auto* session = events ? static_cast<EspeakSdk::Session*>(events->user_data) : nullptr;
    if (!session) {
        return 0;
    }
    if (samples && count > 0) {
        std::lock_guard guard(session->lock);
        session->resampler.push(samples, static_cast<std::size_t>(count), session->pending);
    }
    return session->abort.load() ? 1 : 0;
}

void synthesize(EspeakSdk::Session* session, std::string utf8Text) {
    int failure = kSdkOk;
    {
        Engine& synth = engine();
        std::lock_guard guard(synth.synthesisLock);
        const VoiceSpec& voice = *session->params.voice;
        std::string voiceName = std::string(voice.language) + "+" + std::string(voice.variant);
        if (espeak_SetVoiceByName(voiceName.c_str()) != EE_OK) {
            failure = kSdkEngineFailure;
        } else {
            espeak_SetParameter(espeakRATE, speechRateForSpeed(session->params.speed), 0);
            espeak_SetParameter(espeakVOLUME, session->params.volume, 0);
            espeak_SetParameter(espeakPITCH, synthPitch(voice, session->params.pitch), 0);
            // What a Chinese engine would say; a line of symbols says nothing and gives no audio.
            utf8Text =
                spokenForm(utf8Text, [&voice](char32_t c) { return voiceKnowsIdeograph(voice.language, c); });
            if (!utf8Text.empty() && espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                                                  espeakCHARS_UTF8, nullptr, session) != EE_OK) {
                failure = kSdkEngineFailure;
            }
        }
    }
    std::lock_guard guard(session->lock);
    session->resampler.finish(session->pending);
    session->failure = failure;
    session->finished = true;
}

}  // namespace

EspeakSdk::EspeakSdk() = default;

EspeakSdk::~EspeakSdk() {
    std::map<const void*, std::unique_ptr<Session>> leftovers;
    {
        std::lock_guard guard(sessionsLock_);
        leftovers.swap(sessions_);
    }
    for (auto& [handle, session] : leftovers) {
        session->abort = true;
        if (session->synthesis.joinable()) {
            session->synthesis.join();
        }
    }
}

int EspeakSdk::login(const char* user, const char* password, const char* params) {
    LoginParams parsed;
    int code = parseLoginParams(params ? params : "", parsed);
    if (code != kSdkOk) {
        return code;
    }
    if (!engine().ready) {
        return kSdkEngineFailure;
    }
    loggedIn_ = true;
    return kSdkOk;
}

int EspeakSdk::logout() {
    return loggedIn_.exchange(false) ? kSdkOk : kSdkNotLoggedIn;
}

SessionHandle EspeakSdk::sessionBegin(const char* params, int* errorCode) {
    int ignored = 0;
    int& code = errorCode ? *errorCode : ignored;
    if (!loggedIn_) {
        code = kSdkNotLoggedIn;
        return nullptr;
    }
    SessionParams parsed;
    code = parseSessionParams(params ? params : "", parsed);
    if (code != kSdkOk) {
        return nullptr;
    }
    auto session = std::make_unique<Session>(parsed, engine().sampleRate);
    const void* handle = session.get();
    std::lock_guard guard(sessionsLock_);
    sessions_.emplace(handle, std::move(session));
    return handle;
}

EspeakSdk::Session* EspeakSdk::find(SessionHandle handle) {
    std::lock_guard guard(sessionsLock_);
    auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second.get();
}

int EspeakSdk::textPut(SessionHandle handle, const char* text, unsigned length, const char* params) {
    Session* session = find(handle);
    if (!session) {
        return kSdkInvalidHandle;
    }
    if (!text || length == 0) {
        return kSdkNoText;
    }
    std::string raw(text, length);
    std::string utf8 = session->params.encoding == TextEncoding::Gbk ? util::localToUtf8(raw) : raw;
    {
        std::lock_guard guard(session->lock);
        if (session->textGiven) {
            return kSdkBusy;
        }
        session->textGiven = true;
    }
    session->synthesis = std::thread(synthesize, session, std::move(utf8));
    return kSdkOk;
}

const void* EspeakSdk::audioGet(SessionHandle handle, unsigned* length, int* status, int* errorCode) {
    unsigned ignoredLength = 0;
    int ignoredStatus = 0, ignoredCode = 0;
    unsigned& bytes = length ? *length : ignoredLength;
    int& state = status ? *status : ignoredStatus;
    int& code = errorCode ? *errorCode : ignoredCode;
    bytes = 0;
    state = kSynthContinue;
    Session* session = find(handle);
    if (!session) {
        code = kSdkInvalidHandle;
        return nullptr;
    }
    std::lock_guard guard(session->lock);
    if (!session->textGiven) {
        code = kSdkNoText;
        return nullptr;
    }
    if (session->failure != kSdkOk) {
        code = session->failure;
        return nullptr;
    }
    code = kSdkOk;
    session->delivered.clear();
    session->delivered.swap(session->pending);
    if (session->finished) {
        state = kSynthComplete;
    }
    if (session->delivered.empty()) {
        return nullptr;
    }
    bytes = static_cast<unsigned>(session->delivered.size() * sizeof(std::int16_t));
    return session->delivered.data();
}

int EspeakSdk::sessionEnd(SessionHandle handle, const char* hints) {
    std::unique_ptr<Session> session;
    {
        std::lock_guard guard(sessionsLock_);
        auto it = sessions_.find(handle);
        if (it == sessions_.end()) {
            return kSdkInvalidHandle;
        }
        session = std::move(it->second);
        sessions_.erase(it);
    }
    session->abort = true;
    if (session->synthesis.joinable()) {
        session->synthesis.join();
    }
    return kSdkOk;
}

}  // namespace tts
