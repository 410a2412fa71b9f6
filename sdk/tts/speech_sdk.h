// The speech SDK seam: six operations in the shape the synthesis code expects
// of a text-to-speech library. `EspeakSdk` (espeak_sdk.h) is the real one;
// tests put fakes behind the same interface.
//
// Threads: login and logout from any one thread at a time; a session's calls
// (begin, text put, audio get, end) from the thread that owns the session.
#pragma once

#include <cstdint>

namespace tts {

// Opaque session handle; null when a begin failed.
using SessionHandle = const void*;

// Synthesis status reported by audioGet.
enum SynthStatus : int {
    kSynthContinue = 1,  // more audio will follow
    kSynthComplete = 2,  // all audio of the text has been delivered
};

// Error codes (0 = success).
enum SdkError : int {
    kSdkOk = 0,
    kSdkInvalidParams = 301,  // malformed parameter text
    kSdkInvalidValue = 302,   // a parameter has a value out of range
    kSdkInvalidHandle = 303,  // unknown or ended session
    kSdkNotLoggedIn = 304,    // no successful login
    kSdkUnknownVoice = 305,   // voice_name names no voice
    kSdkNoText = 306,         // audio asked for before any text was put
    kSdkBusy = 307,           // text already put in this session
    kSdkEngineFailure = 308,  // the synthesiser itself failed
    kSdkUnsupportedEncoding = 309,
};

class SpeechSdk {
  public:
    virtual ~SpeechSdk() = default;

    // `params` is "key = value" pairs separated by commas; it must name an
    // application id ("appid", 8 lower-case hex digits) and may name a
    // working directory ("work_dir", which must exist). 0 on success.
    virtual int login(const char* user, const char* password, const char* params) = 0;
    virtual int logout() = 0;

    // Opens a session with the synthesis parameters (voice_name, text_encoding,
    // sample_rate, speed, volume, pitch, rdn). Sets *errorCode; the handle is
    // usable only when it is 0.
    virtual SessionHandle sessionBegin(const char* params, int* errorCode) = 0;

    // Hands the whole text (`length` bytes, in the session's encoding) over for
    // synthesis. `params` is unused and may be null.
    virtual int textPut(SessionHandle session, const char* text, unsigned length, const char* params) = 0;

    // Returns the audio produced since the last call (16-bit mono PCM at the
    // session's sample rate), or null when none is ready; sets *length to its
    // byte count, *status to kSynthContinue or kSynthComplete (the latter comes
    // with the last piece) and *errorCode. The bytes stay valid until the next
    // call on the session or its end.
    virtual const void* audioGet(SessionHandle session, unsigned* length, int* status, int* errorCode) = 0;

    // Ends the session (stopping a synthesis still running); `hints` says why
    // ("Normal", "TextPutError", "AudioGetError"). 0 on success.
    virtual int sessionEnd(SessionHandle session, const char* hints) = 0;
};

}  // namespace tts
