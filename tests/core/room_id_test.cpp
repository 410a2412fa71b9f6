#include "core/room_id.h"

#include <gtest/gtest.h>

#include "../platforms/golden.h"
#include "core/room_list.h"

TEST(RoomId, GoldenRoomsAndLists) {
    const RoomIdKind kinds[] = {RoomIdKind::Number,      RoomIdKind::Number, RoomIdKind::Number,
                                RoomIdKind::Number,      RoomIdKind::Number, RoomIdKind::Number,
                                RoomIdKind::NumberOrName};
    auto cases = testing_support::goldenCases("core/rooms.golden");
    ASSERT_EQ(cases.size(), 25u);
    for (const auto& c : cases) {
        const auto space = c.in.find(' ');
        const std::string kind = c.in.substr(0, space), text = c.in.substr(space + 1);
        std::string got;
        if (kind == "list") {
            const RoomList list = parseRoomList(text, kinds);
            got = list.problem.empty() ? roomListText(list.rooms) : "refused";
            EXPECT_TRUE(list.problem.empty() || list.rooms.empty()) << c.in;
        } else {
            got = roomIdProblem(kind == "name" ? RoomIdKind::NumberOrName : RoomIdKind::Number, text)
                      ? "refused"
                      : "ok";
        }
        EXPECT_EQ(got, c.out) << c.in;
    }
}
