#include "core/room_list.h"

#include <algorithm>

#include "core/room_id.h"

namespace {

// GBK's full-width comma, which a Chinese keyboard gives by default.
constexpr std::string_view kWideComma = "\xA3\xAC";

bool isSeparator(std::string_view text, std::size_t at, std::size_t& width) {
    width = 1;
    const char c = text[at];
    if (c == ',' || c == ';' || c == ' ' || c == '\t') {
        return true;
    }
    if (text.substr(at, kWideComma.size()) == kWideComma) {
        width = kWideComma.size();
        return true;
    }
    return false;
}

RoomList failed(std::string problem) {
    return RoomList{{}, std::move(problem)};
}

}  // namespace

RoomList parseRoomList(std::string_view text, std::span<const RoomIdKind> kinds) {
    const int platformCount = static_cast<int>(kinds.size());
    RoomList list;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t width = 0;
        if (isSeparator(text, at, width)) {
            at += width;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !isSeparator(text, end, width)) {
            ++end;
        }
        const std::string_view entry = text.substr(at, end - at);
        at = end;
        const std::size_t colon = entry.find(':');
        const std::string_view number = entry.substr(0, colon);
        if (colon == std::string_view::npos || number.empty() || number.size() > 3 ||
            !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return failed("请按 平台:直播间号 填写, 多个用逗号隔开, 例如 5:9999,6:660000.");
        }
        const int platform = std::stoi(std::string(number));
        if (platform >= platformCount) {
            return failed("平台应是 0 到 " + std::to_string(platformCount - 1) + " 之间的数字.");
        }
        RoomChoice choice{platform, std::string(entry.substr(colon + 1))};
        if (const char* problem = roomIdProblem(kinds[static_cast<std::size_t>(platform)], choice.room)) {
            return failed(problem);
        }
        if (std::find(list.rooms.begin(), list.rooms.end(), choice) != list.rooms.end()) {
            continue;
        }
        if (list.rooms.size() == kMaxExtraRooms) {
            return failed("最多同时读 " + std::to_string(kMaxExtraRooms) + " 个其他直播间.");
        }
        list.rooms.push_back(std::move(choice));
    }
    return list;
}

std::string roomListText(const std::vector<RoomChoice>& rooms) {
    std::string text;
    for (const RoomChoice& choice : rooms) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(choice.platform) + ':' + choice.room;
    }
    return text;
}
