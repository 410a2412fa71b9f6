// What the dialog needs of the speech engine. The engine in speech/ implements
// it; dialog tests inject a fake through the same seam.
#pragma once

#include <boost/asio/io_context.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/events.h"

// The settings the dialog hands over when it initialises and on every save.
struct SpeechSettings {
    std::int32_t minLength = 6;   // copies of the chat length limits (the engine keeps them)
    std::int32_t maxLength = 16;
    std::int32_t queueLimit = 100;  // bound for pushes at the back
    double durationLimit = 10.0;    // longest playback of one file, seconds
    int voiceIndex = 0;             // voice list selection, 0..15 (anything else: the default voice)
    int speed = 70;                 // 1..100
    int volume = 100;               // 0..100, linear gain on playback
    std::string engineCommand;      // UTF-8 command line of an external engine; empty: the built-in voices
};

class SpeechService {
public:
    virtual ~SpeechService() = default;

    // Any thread. Text (GBK) at the back within the queue limit, or at the
    // front without bound.
    virtual void pushText(std::string text, bool atFront) = 0;

    // Any thread. Tallies a gift (the record's time is already set); the
    // caller keeps and frees the record. Returns true.
    virtual bool addGift(const GiftEvent& gift) = 0;

    // UI thread: limits, duration, volume, then the voice parameters.
    virtual void applySettings(const SpeechSettings& settings) = 0;

    // UI thread, once, right after the first applySettings: logs in to the
    // speech SDK. Returns the SDK's code (0 = logged in).
    virtual int loginSdk() = 0;

    // Called on the speech worker with each text it takes for synthesis (GBK).
    // Set before any text flows (headless log).
    using SpeakObserver = std::function<void(const std::string& gbkText)>;
    virtual void setSpeakObserver(SpeakObserver observer) = 0;

    // Called on the speech worker with a status line for the host (GBK), e.g.
    // when the external engine fails. Set before any text flows.
    using StatusObserver = std::function<void(const std::string& gbkStatus)>;
    virtual void setStatusObserver(StatusObserver) {}
};

// Creates the engine on the dialog's event loop (its playback timer runs there).
using SpeechServiceFactory = std::function<std::unique_ptr<SpeechService>(boost::asio::io_context& eventLoop)>;
