// One run of the program without its window: the network host with its
// feeder, the message window the feeder sends through, the speech engine, the
// announcement rules and the filter words, and the switch that routes each
// delivered event. Rooms read at once besides the main one each bring their
// own host and window into the one queue. The dialog is a thin shell over it; tests drive it with a
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
#include "core/room_list.h"
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

    // Starts the feeder of `platformIndex` on the room (GBK), and one for
    // each room of `also` besides. False, changing nothing, when no client
    // exists for the main index, a room is being read or the session is
    // shutting down: the caller may try again. A room of `also` without a
    // client, or one already named, is left out. With more than one room,
    // each status prefix and each record names its room ("哔哩哔哩[6]").
    bool login(int platformIndex, std::string roomId, std::vector<RoomChoice> also = {});

    // Ends the room being read as `shutdown` does, but the session stays
    // open: the next `login` may read another room or platform. What waits
    // to be spoken is the caller's to keep or clear.
    void disconnect();

    // Raises the closing flag, releases a feeder blocked in a send, stops the
    // network threads and destroys the feeders, every room's at once. Never
    // waits on the network.
    // Idempotent; later logins fail.
    void shutdown();

    bool serving() const { return host_.serving(); }
    // The rooms being read: 0 before a login, 1 + the extra rooms started.
    std::size_t roomCount() const { return roomCount_; }
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
    // How a room is named once several are read: its number, and the status
    // prefix its feeder gave last (the platform's name).
    struct RoomTag {
        std::string id;
        std::string prefix;
    };
    // A room read besides the main one: a window, loop, thread and feeder of
    // its own, so that its blocked sends, failures and restarts never touch
    // the others. Kept for the session's life once made, because a dispatch
    // posted to the owner may still name its window.
    struct ExtraRoom {
        explicit ExtraRoom(Session& session);
        RoomTag tag;
        MessageWindow window;
        NetworkHost host;
    };

    // Names the room on the record when several are read, then switches.
    void handleRoomMessage(RoomTag& tag, unsigned message, std::unique_ptr<ChatEvent> record);
    // Tells every room to end, then waits for each.
    void stopRooms();
    void reportStatus(const std::string& gbkLine);

    Hooks hooks_;
    FeederFactories feeders_;
    // The event loop exists before the engine, which is handed it at creation.
    NetworkHost host_;
    RoomTag mainTag_;
    MessageWindow window_;
    std::vector<std::unique_ptr<ExtraRoom>> extras_;
    std::size_t extrasReading_ = 0;  // the first ones of `extras_`
    std::size_t roomCount_ = 0;
    std::vector<std::string> filterWords_;
    std::unique_ptr<SpeechService> speech_;
    AnnouncementRules rules_;
    bool closing_ = false;
    std::thread::id owner_ = std::this_thread::get_id();
};
