// The rooms read at once besides the main one: "5:9999,6:660000", each a
// platform list entry and a room, as the settings and `--also` write them.
//
// Threads: any; pure.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/room_id.h"

struct RoomChoice {
    int platform = 0;
    std::string room;  // GBK (the room rules keep it ASCII)

    bool operator==(const RoomChoice&) const = default;
};

// Each room has a thread and a connection of its own: a list pasted by
// mistake must not start hundreds of them.
inline constexpr std::size_t kMaxExtraRooms = 8;

struct RoomList {
    std::vector<RoomChoice> rooms;
    // Empty when the whole text was understood; otherwise what is wrong
    // (UTF-8), and `rooms` is empty.
    std::string problem;
};

// Entries are separated by commas (ASCII or full-width, GBK), semicolons or
// blanks; each is "<platform>:<room>" with the room suiting its platform
// (`kinds` holds each list entry's kind of room id, by index). A blank text
// is no room at all. An entry given twice is read once.
RoomList parseRoomList(std::string_view text, std::span<const RoomIdKind> kinds);

// "5:9999,6:660000": the form parseRoomList reads back.
std::string roomListText(const std::vector<RoomChoice>& rooms);
