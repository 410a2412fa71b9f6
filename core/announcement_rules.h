// The rules that turn chat messages, gifts and room entries into announcement
// texts and hand them to the speech engine. Cheap and silent: a dropped event
// leaves no trace, and every record is destroyed before a handler returns.
//
// Threads: the handlers and `setSwitches` run on the user-interface thread
// only (the sending client waits meanwhile), so the switches need no lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/announcement_texts.h"
#include "core/events.h"
#include "core/repeat_folder.h"
#include "core/speech_service.h"

// What the host chose to hear; taken over from the dialog on every save.
struct AnnouncementSwitches {
    bool speakChat = false;
    bool speakGifts = false;
    bool speakWelcome = false;
    bool speakNickname = false;
    std::int32_t minChatLength = 0;  // a chat text must be longer than this (GBK bytes)
    std::int32_t maxChatLength = 0;  // ... and shorter than this
    bool filterNames = false;        // the filter words also silence a viewer by name
    bool foldRepeats = false;        // a chat text heard within the last 10 s is not read again
    bool speakFollows = false;
    bool speakShares = false;
    bool speakLikes = false;
};

// A viewer's name (GBK) as any announcement speaks it: the first
// kMaxSpokenNameChars characters.
std::string_view spokenName(std::string_view name);

// Removes "[...]" segments byte by byte, leftmost "[" first, until no "]"
// follows an "[". A GBK trail byte 0x5B or 0x5D counts as a bracket.
std::string removeBracketedSegments(std::string_view text);

// The announcement for a chat line, or an empty text when the line is dropped.
// `isFiltered` sees the cleaned text (no brackets, trimmed). Paid lines too
// stay within the ceiling: the name cut to kMaxSpokenNameChars characters,
// the whole to kMaxAnnouncementChars.
// `texts` acts after the filter: the word list on the text, the nickname
// list on the name, then the chat (or paid) template.
std::string chatAnnouncement(const ChatEvent& chat, const AnnouncementSwitches& switches,
                             const std::function<bool(const std::string&)>& isFiltered,
                             const AnnouncementTexts& texts = {});

// The chat text as the filters and the repeat folding see it: brackets
// removed, trimmed.
std::string cleanedChatText(std::string_view text);

// "滴!滴!欢迎<name>来到本直播间!" in GBK, the name cut to
// kMaxSpokenNameChars characters.
std::string welcomeText(std::string_view name);

// "感谢<name>的关注", "感谢<name>分享直播间", "感谢<name>的点赞" in GBK, the
// name cut as a welcome's is.
std::string interactionText(InteractionKind kind, std::string_view name);

class AnnouncementRules {
  public:
    using FilterCheck = std::function<bool(const std::string& gbkText)>;

    AnnouncementRules(SpeechService& speech, FilterCheck isFiltered, RepeatFolder::Clock foldClock = {});

    void setSwitches(const AnnouncementSwitches& switches);
    const AnnouncementSwitches& switches() const { return switches_; }
    void setTexts(AnnouncementTexts texts) { texts_ = std::move(texts); }

    // Viewers (GBK names, exact match) of whom nothing is read: no chat,
    // no thanks, no welcome.
    void setMutedNames(std::unordered_set<std::string> names) { muted_ = std::move(names); }
    void mute(const std::string& name) { muted_.insert(name); }
    void unmute(const std::string& name) { muted_.erase(name); }
    const std::unordered_set<std::string>& mutedNames() const { return muted_; }
    bool isMuted(const std::string& name) const { return muted_.count(name) != 0; }

    void onChatEvent(std::unique_ptr<ChatEvent> chat);
    void onGiftEvent(std::unique_ptr<GiftEvent> gift);
    void onEnterEvent(std::unique_ptr<ChatEvent> entry);
    // Read with a welcome's priority, each kind under its own switch.
    void onInteractionEvent(std::unique_ptr<InteractionEvent> interaction);

  private:
    // Muted, or (when names are filtered) a name holding a filter word.
    bool silenced(const std::string& name) const;
    // A repeat of a text let through within the window, or one still
    // waiting or playing, whoever sent it.
    bool isRepeat(const std::string& cleaned);
    // The name as announcements speak it: the nickname list's entry, or the name.
    std::string_view spokenAs(const std::string& name) const;
    // Welcome and follow texts in the host's wording where a template is set.
    std::string entryText(InteractionKind kind, bool isWelcome, const std::string& name) const;
    // A gift worth less than the host's minimum (where its value is known).
    bool belowMinimum(const GiftEvent& gift) const;

    SpeechService& speech_;
    FilterCheck isFiltered_;
    AnnouncementSwitches switches_;
    AnnouncementTexts texts_;
    std::unordered_set<std::string> muted_;
    RepeatFolder folder_;
};
