// What the room edit may hold for each platform list entry, checked before
// any connection: a typo should be told at once, not looped over as a room
// that does not exist every 30 s.
//
// Threads: any; pure.
#pragma once

#include <string_view>

// How a platform names its rooms.
enum class RoomIdKind {
    Number,        // digits only
    NumberOrName,  // digits, or a name of letters, digits, '_' and '-'
};

// The kind for a platform list entry: numbers for the entries known today;
// an entry appended later says here if its rooms also have names.
RoomIdKind roomIdKind(int platformIndex);

// Nothing when `roomId` (already trimmed) suits the platform; otherwise the
// status text that says what the edit should hold (UTF-8).
const char* roomIdProblem(int platformIndex, std::string_view roomId);
