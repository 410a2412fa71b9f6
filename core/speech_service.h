// What the dialog needs of the speech engine. The engine in speech/ implements
// it; dialog tests inject a fake through the same seam.
#pragma once

#include <boost/asio/io_context.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/events.h"
#include "util/gbk.h"

// The settings the dialog hands over when it initialises and on every save.
struct SpeechSettings {
    std::int32_t queueLimit = 100;    // bound for pushes at the back
    double durationLimit = 10.0;      // longest playback of one file, seconds
    int voiceIndex = 0;               // voice list selection, 0..15 (anything else: the default voice)
    int speed = 70;                   // 1..100
    int volume = 100;                 // 0..100, linear gain on playback
    std::string engineCommand;        // UTF-8 command line of an external engine; empty: the built-in voices
    bool engineRawText = false;       // the external engine gets the text unchanged, not its spoken form
    std::int32_t viewerCooldown = 0;  // seconds a viewer's next chat line is dropped after one read; 0: off
    std::int32_t maxWait = 0;         // seconds a chat line may wait before it is dropped unread; 0: off
};

// Where the reader's output went when a device was chosen.
enum class OutputDeviceResult {
    Default,            // no name was asked for: the system's default
    Named,              // the device asked for
    FellBackToDefault,  // the named device is gone (or would not open): the default instead
    Failed,             // no output at all
};

// Where an announcement comes from. Chat waits at the back of the queue
// within the queue limit; welcomes and thank-yous go to the front, each kind
// bounded on its own. A paid chat line waits behind them but ahead of every
// ordinary chat line. New kinds go at the end: the queue counts by value.
enum class SpeechKind { Chat, Gift, Welcome, PaidChat };

// What may reach synthesis whatever the settings or the server: a viewer's
// name as spoken, and any announcement as a whole, in characters (a Chinese
// character counts one). No real chat line comes near; a longer one would
// only keep the synthesis busy for minutes and its file growing.
inline constexpr std::size_t kMaxSpokenNameChars = 64;
inline constexpr std::size_t kMaxAnnouncementChars = 500;

// `text` (GBK) cut to kMaxAnnouncementChars characters on a character boundary.
inline std::string withinCeiling(std::string text) {
    text.resize(util::gbkPrefixChars(text, kMaxAnnouncementChars).size());
    return text;
}

struct SpeechItem {
    std::string text;  // GBK, as it will be spoken
    SpeechKind kind = SpeechKind::Chat;
    std::string viewer;  // GBK nickname; empty when no viewer is behind the text
    std::string room;    // GBK, see ChatEvent::room; empty with one room

    SpeechItem() = default;
    SpeechItem(std::string t, SpeechKind k = SpeechKind::Chat, std::string v = {}, std::string r = {})
        : text(std::move(t)), kind(k), viewer(std::move(v)), room(std::move(r)) {}
};

// An announcement as the reader shows it.
struct Announcement {
    std::uint64_t id = 0;  // unique within a run, increasing in the order of arrival
    SpeechItem item;
    std::int64_t startedAt = 0;  // seconds since 1970 when its playback started; 0 before
    std::int64_t queuedAt = 0;   // seconds since 1970 when it was queued
};

struct ReaderSnapshot {
    std::optional<Announcement> playing;
    std::vector<Announcement> waiting;  // the next one first
    std::vector<Announcement> recent;   // played, skipped or cut short; newest first, at most kRecent
    bool paused = false;
    static constexpr std::size_t kRecent = 50;
};

// What changed for the reader's subscribers: the announcement playing now
// (none between two) and the paused state.
struct ReaderState {
    std::optional<Announcement> playing;
    bool paused = false;
};

class SpeechService {
  public:
    virtual ~SpeechService() = default;

    // Any thread. Text (GBK) at the back within the queue limit, or at the
    // front (counted as a welcome).
    virtual void pushText(std::string text, bool atFront) = 0;

    // Any thread. The same with the kind and viewer that the reader shows:
    // chat at the back, welcomes and thank-yous at the front.
    virtual void pushItem(SpeechItem item) = 0;

    // Any thread. Tallies a gift (the tally keeps its own time); the
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

    // The host's controls. Any thread; each takes effect within 100 ms.
    // An engine that reads nothing aloud ignores them.
    //
    // Stops the announcement playing now and deletes its file; the next plays.
    virtual void skip() {}
    // Drops every waiting announcement (texts and finished files) and the
    // gifts still being tallied; what plays now plays on.
    virtual void clear() {}
    // While paused nothing new starts; the announcement playing at that moment
    // finishes. The state changes at once.
    virtual void setPaused(bool) {}
    virtual bool paused() const { return false; }

    // Drops every announcement of that viewer (GBK name): the waiting ones
    // (texts and finished files), their gifts still being tallied and the one
    // playing now, if it is theirs.
    virtual void dropViewer(const std::string&) {}

    // Any thread.
    virtual ReaderSnapshot snapshot() const { return {}; }

    // Called on the speech engine's playback thread whenever the announcement
    // playing now or the paused state changes (a UI posts it over to its own
    // thread). It may call the engine's other operations, snapshot included,
    // but must not destroy the engine. Set once, before texts flow.
    using ReaderObserver = std::function<void(const ReaderState& state)>;
    virtual void setReaderObserver(ReaderObserver) {}

    // Called on the speech worker with a status line for the host (GBK), e.g.
    // when the external engine fails. Set before any text flows.
    using StatusObserver = std::function<void(const std::string& gbkStatus)>;
    virtual void setStatusObserver(StatusObserver) {}

    // UI thread. The playback devices' names (UTF-8) as the audio library
    // reports them, for the host's choice.
    virtual std::vector<std::string> outputDevices() { return {}; }
    // UI thread. Plays on the named device from now on (empty: the system's
    // default); an announcement playing at that moment is cut.
    virtual OutputDeviceResult selectOutputDevice(const std::string& name) {
        return name.empty() ? OutputDeviceResult::Default : OutputDeviceResult::FellBackToDefault;
    }
};

// Creates the engine. The dialog hands over its network loop for engines that
// want one; the real engine plays on a thread of its own and never waits for it.
using SpeechServiceFactory =
    std::function<std::unique_ptr<SpeechService>(boost::asio::io_context& eventLoop)>;
