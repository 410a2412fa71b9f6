// The room page a host's browser opens (`<page base>/<typed room>`): the
// room's ids are embedded in its scripts, in whichever of several forms the
// page of the day uses.
//
// Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platforms/huya/huya_messages.h"

namespace huya {

// The page's URL; the typed room (a number or a name, blanks around it
// dropped) goes percent-encoded so that it can never leave the path.
std::string roomPageUrl(const std::string& pageBase, std::string_view typedRoom);

// The ids the page names: `lYyid`, `lChannelId`, `lSubChannelId`, and the
// presenter's uid as `lPresenterUid`, `TT_ROOM_DATA.id`, `lp` or
// `tProfileInfo.lUid`, each a number bare or quoted. Nothing when the page
// names no room: neither a presenter uid nor a yyid with its channel.
std::optional<RoomIds> readRoomPage(std::string_view page);

}  // namespace huya
