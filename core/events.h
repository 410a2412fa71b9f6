// The records a platform client hands to the dialog, and the message numbers
// that say what each one carries. All texts are GBK byte strings.
#pragma once

#include <cstdint>
#include <string>

// Chat message (name = nickname, text = message), status (name = platform
// prefix, text = status text) or room entry (name = nickname, text empty).
struct ChatEvent {
    std::string name;
    std::string text;
    // A paid message: read whatever its length (the other chat rules apply).
    bool skipLengthLimits = false;
    // A paid message's amount in yuan where the platform gives it, else 0.
    std::int64_t price = 0;
    // The room it came from as the host sees it ("哔哩哔哩[6]", GBK), set by
    // the session while it reads several rooms; empty with one room.
    std::string room;

    ChatEvent() = default;
    ChatEvent(std::string n, std::string t) : name(std::move(n)), text(std::move(t)) {}
    virtual ~ChatEvent() = default;
};

// A gift: name = giver, text = gift name.
struct GiftEvent : ChatEvent {
    std::int32_t count = 0;
    // The gift's whole value in the platform's own unit; -1 when unknown.
    std::int64_t value = -1;
    // Set by the announcement rules: the name as spoken (empty: `name`) and
    // the host's thank-you template (empty: the built-in wording).
    std::string spokenAs;
    std::string wording;

    GiftEvent() = default;
    GiftEvent(std::string n, std::string t, std::int32_t c)
        : ChatEvent(std::move(n), std::move(t)), count(c) {}
};

// A viewer's gesture towards the room that is neither chat nor a gift:
// name = the viewer, text empty. Each kind has a switch of its own and its
// own wording.
enum class InteractionKind { Follow, Share, Like };

struct InteractionEvent : ChatEvent {
    InteractionKind kind = InteractionKind::Follow;

    InteractionEvent() = default;
    InteractionEvent(std::string n, InteractionKind k) : ChatEvent(std::move(n), {}), kind(k) {}
};

// Window message numbers. There is no 1026.
enum FeederMessage : unsigned {
    WM_FEEDER_CHAT = 1025,
    WM_FEEDER_GIFT = 1027,
    WM_FEEDER_STATUS = 1028,
    WM_FEEDER_ENTER = 1029,
    WM_FEEDER_INTERACTION = 1030,  // an InteractionEvent
};
