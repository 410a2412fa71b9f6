#include "core/room_id.h"

#include <gtest/gtest.h>

TEST(RoomId, NumberedRoomsTakeDigitsAndNamedOnesAlsoTakeNames) {
    const struct {
        RoomIdKind kind;
        const char* room;
        bool fits;
    } cases[] = {
        {RoomIdKind::Number, "516207", true},
        {RoomIdKind::Number, "9", true},
        {RoomIdKind::Number, "", false},
        {RoomIdKind::Number, "12a", false},
        {RoomIdKind::Number, "12 34", false},
        {RoomIdKind::Number, "-1", false},
        {RoomIdKind::Number, "\xa3\xb1\xa3\xb2", false},  // full-width digits (GBK)
        {RoomIdKind::Number, "1234567890123456789012345678901234567890", true},
        {RoomIdKind::Number, "12345678901234567890123456789012345678901", false},
        {RoomIdKind::NumberOrName, "lpl", true},
        {RoomIdKind::NumberOrName, "660000", true},
        {RoomIdKind::NumberOrName, "a_b-c", true},
        {RoomIdKind::NumberOrName, "", false},
        {RoomIdKind::NumberOrName, "a b", false},
        {RoomIdKind::NumberOrName, "http://x/1", false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(roomIdProblem(row.kind, row.room) == nullptr, row.fits) << row.room;
    }
}
