// The speech SDK over libespeak-ng. The synthesiser's state is process-wide,
// so every instance shares one engine and one synthesis runs at a time; each
// session synthesises on its own thread while its owner polls audioGet.
//
// Threads: as SpeechSdk says. Instances may live on different threads.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "sdk/tts/speech_sdk.h"

namespace tts {

class EspeakSdk : public SpeechSdk {
  public:
    EspeakSdk();
    ~EspeakSdk() override;

    EspeakSdk(const EspeakSdk&) = delete;
    EspeakSdk& operator=(const EspeakSdk&) = delete;

    int login(const char* user, const char* password, const char* params) override;
    int logout() override;
    SessionHandle sessionBegin(const char* params, int* errorCode) override;
    int textPut(SessionHandle session, const char* text, unsigned length, const char* params) override;
    const void* audioGet(SessionHandle session, unsigned* length, int* status, int* errorCode) override;
    int sessionEnd(SessionHandle session, const char* hints) override;

    struct Session;

  private:
    Session* find(SessionHandle handle);

    std::atomic<bool> loggedIn_{false};
    std::mutex sessionsLock_;
    std::map<const void*, std::unique_ptr<Session>> sessions_;
};

}  // namespace tts
