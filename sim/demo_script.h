// The script the demo room plays: a lively minute of a small stream. Chat
// lines of several lengths, an emote in brackets, gifts that fold into one
// thank-you, room entries, and one line too long to be read.
#pragma once

#include "sim/room.h"

namespace sim {

RoomScript demoScript();

}  // namespace sim
