// One run of the program without its window: the network host with its
// feeder, the message window the feeder sends through, the speech engine, the
// announcement rules and the filter words, and the switch that routes each
// delivered event. The dialog is a thin shell over it; tests drive it with a
// fake feeder and a fake engine and no user interface at all.
//
// Threads: everything runs on the owner thread (the one that constructed the
// session: in the program, the user-interface thread) except where an
// operation says otherwise. Feeders send from the network thread and wait
// until the owner has handled the event, so the rules and the filter words
// need no lock.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/announcement_rules.h"
#include "core/feeder.h"
#include "core/message_window.h"
#include "core/network_host.h"
#include "core/speech_service.h"

// What a save (or the start-up) puts in force.
struct SessionSettings {
    AnnouncementSwitches switches;
    SpeechSettings speech;
};

class Session {
  public:
    struct Hooks {
        // Any thread: runs `task` later on the owner thread, or drops it once
        // the owner is gone. Without it the owner must pump the window itself
        // (`messageWindow().waitAndDispatch`) and engine status lines are lost.
        std::function<void(std::function<void()> task)> post;
        // Owner thread: a status line (GBK) for the host, from a feeder's
        // status event or from the speech engine.
        std::function<void(const std::string& gbkLine)> status;
    };
    using FilterCheck =
        std::function<bool(const std::vector<std::string>& words, const std::string& gbkText)>;

    // Creates the engine with the network loop (engines that want one use
    // it). `isFiltered` decides whether a cleaned chat text contains one of
    // the filter words.
    Session(const SpeechServiceFactory& speechFactory, FeederFactories feeders, Hooks hooks,
            FilterCheck isFiltered);
    // Shuts down first, so no feeder outlives the engine it feeds.
    ~Session();

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Engine first, then the rules: by the time a caller reports the values
    // as saved, both already act on them.
    void apply(const SessionSettings& settings);

    void setFilterWords(std::vector<std::string> words) { filterWords_ = std::move(words); }
    const std::vector<std::string>& filterWords() const { return filterWords_; }

    // Starts the feeder of `platformIndex` on the room (GBK). False, changing
    // nothing, when no client exists for the index, a room is being read or
    // the session is shutting down: the caller may try again.
    bool login(int platformIndex, std::string roomId);

    // Ends the room being read as `shutdown` does, but the session stays
    // open: the next `login` may read another room or platform. What waits
    // to be spoken is the caller's to keep or clear.
    void disconnect();

    // Raises the closing flag, releases a feeder blocked in a send, stops the
    // network thread and destroys the feeder. Never waits on the network.
    // Idempotent; later logins fail.
    void shutdown();

    bool serving() const { return host_.serving(); }
    bool closing() const { return closing_; }

    // The event switch: chat, gift, status, room entry
    // and the interactions (follows, shares, likes). Every record is destroyed before it returns; an unknown
    // message or a gift number carrying no gift record is dropped.
    void handleMessage(unsigned message, std::unique_ptr<ChatEvent> record);

    // Any thread: where feeders send their events.
    MessageWindow& messageWindow() { return window_; }
    // Any thread (its operations say which).
    SpeechService& speech() { return *speech_; }
    const AnnouncementRules& rules() const { return rules_; }
    // Owner thread: muting viewers and the like.
    AnnouncementRules& rules() { return rules_; }

  private:
    void reportStatus(const std::string& gbkLine);

    Hooks hooks_;
    FeederFactories feeders_;
    // The event loop exists before the engine, which is handed it at creation.
    NetworkHost host_;
    MessageWindow window_;
    std::vector<std::string> filterWords_;
    std::unique_ptr<SpeechService> speech_;
    AnnouncementRules rules_;
    bool closing_ = false;
    std::thread::id owner_ = std::this_thread::get_id();
};
