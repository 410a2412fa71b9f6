#include <array>

#include "sim/room.h"

// The simulated rooms, in the order of the platform list (platforms/catalogue.cpp):
// one line a platform, naming the `make<Name>Room` of its folder.
#define SONARO_ROOMS(ROOM) \
    ROOM(Douyu)            \
    ROOM(Panda)            \
    ROOM(Zhanqi)           \
    ROOM(Longzhu)          \
    ROOM(Bilibili)         \
    ROOM(DouyuWs)          \
    ROOM(Huya)

namespace sim {

#define SONARO_DECLARE_ROOM(name) std::unique_ptr<SimulatedRoom> make##name##Room(const RoomScript& script);
SONARO_ROOMS(SONARO_DECLARE_ROOM)
#undef SONARO_DECLARE_ROOM

std::unique_ptr<SimulatedRoom> makeRoom(int platformIndex, const RoomScript& script) {
#define SONARO_LIST_ROOM(name) &make##name##Room,
    static constexpr std::array makers{SONARO_ROOMS(SONARO_LIST_ROOM)};
#undef SONARO_LIST_ROOM
    if (platformIndex < 0 || static_cast<std::size_t>(platformIndex) >= makers.size()) {
        return nullptr;
    }
    return makers[platformIndex](script);
}

}  // namespace sim
