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

// Nothing when `roomId` (already trimmed) suits a platform whose rooms are
// of `kind` (its catalogue entry says which); otherwise the status text that
// says what the edit should hold (UTF-8).
const char* roomIdProblem(RoomIdKind kind, std::string_view roomId);
