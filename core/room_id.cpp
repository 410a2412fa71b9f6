#include "core/room_id.h"

#include <algorithm>

namespace {

// Longer than any room number or name a platform hands out; a paste of a
// whole page address is refused rather than sent.
constexpr std::size_t kLongestRoomId = 40;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isNameChar(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
}

}  // namespace

const char* roomIdProblem(RoomIdKind kind, std::string_view roomId) {
    const bool fits =
        !roomId.empty() && roomId.size() <= kLongestRoomId &&
        std::all_of(roomId.begin(), roomId.end(), kind == RoomIdKind::Number ? isDigit : isNameChar);
    if (fits) {
        return nullptr;
    }
    return kind == RoomIdKind::Number ? "直播间号只能是数字, 请重新输入."
                                      : "直播间号应是数字或房间名, 请重新输入.";
}
