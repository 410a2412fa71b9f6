// Folds a sender's consecutive gifts of one kind into one thank-you text,
// spoken once the sender has been quiet for 3 whole seconds. A sender is a
// name in a room: the same name in two rooms read at once is two viewers.
//
// The tally holds at most kMaxSenders senders: a new sender beyond that
// thanks the one quiet for longest at once, so a gift flood from ever new
// names keeps memory flat.
//
// Threads: any. Lock order: the tally's lock, then the queue's.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "core/events.h"
#include "speech/speech_queue.h"

namespace speech {

class GiftTally {
  public:
    static constexpr std::int64_t kQuietSeconds = 3;
    static constexpr std::size_t kImmediateTextBytes = 1023;  // thank-you for a replaced entry
    static constexpr std::size_t kFlushedTextBytes = 511;     // thank-you for an expired entry
    static constexpr std::size_t kMaxSenders = 1000;

    // Adds `gift` at `now` (seconds since 1970) to its sender's entry. A gift
    // of another kind than the running one puts the running one's thank-you
    // at the front of `queue` at once and starts a new entry.
    void add(const GiftEvent& gift, std::int64_t now, SpeechQueue& queue);

    // Puts the thank-you of every entry unchanged for kQuietSeconds or more
    // at the front of `queue` (walking the senders in byte order, so the last
    // one ends up first) and removes those entries.
    void flush(std::int64_t now, SpeechQueue& queue);

    // Forgets the sender's gifts in progress, in every room, without a
    // thank-you (a muted viewer is not thanked 3 s later).
    void drop(const std::string& name);
    // Forgets every gift in progress without a thank-you.
    void clear();

    std::size_t size() const;

  private:
    // Nickname, then room (GBK).
    using Sender = std::pair<std::string, std::string>;

    struct Entry {
        std::string gift;
        std::int32_t count = 0;
        std::int64_t time = 0;
        std::list<const Sender*>::iterator age;  // place in `byAge_`
        std::string spokenAs;                    // see GiftEvent
        std::string wording;
        std::int64_t value = -1;  // summed while every gift's value is known
    };

    // Starts `entry`'s wording afresh from `gift`.
    static void takeWording(Entry& entry, const GiftEvent& gift);

    void thank(const Sender& sender, const Entry& entry, std::size_t maxBytes, SpeechQueue& queue);

    mutable std::mutex lock_;
    std::map<Sender, Entry> entries_;  // byte-wise order of nickname, then room
    std::list<const Sender*> byAge_;   // the keys of `entries_`, least recently given first
};

}  // namespace speech
