#include "core/room_id.h"

#include <gtest/gtest.h>

#include "core/room_list.h"

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

TEST(RoomList, ReadsEveryEntryOrNoneAndSaysWhy) {
    const struct {
        const char* text;
        const char* rooms;  // as written back; null: refused with a reason
    } cases[] = {
        {" ,; ", ""},
        {"6:lpl\xa3\xac 4:1;4:1\t5:2,", "6:lpl,4:1,5:2"},  // full-width comma (GBK), blanks, a double
        {"5:", nullptr},
        {":9999", nullptr},
        {"7:1", nullptr},  // beyond the list
        {"99999999999:1", nullptr},
        {"5:12a", nullptr},  // a numbered platform's room
        {"5:9999,oops", nullptr},
        {"1:1,1:2,1:3,1:4,1:5,1:6,1:7,1:8,1:8", "1:1,1:2,1:3,1:4,1:5,1:6,1:7,1:8"},
        {"1:1,1:2,1:3,1:4,1:5,1:6,1:7,1:8,1:9", nullptr},  // too many threads to start
    };
    // Six numbered platforms, then one whose rooms may have names.
    const RoomIdKind kinds[] = {RoomIdKind::Number,      RoomIdKind::Number, RoomIdKind::Number,
                                RoomIdKind::Number,      RoomIdKind::Number, RoomIdKind::Number,
                                RoomIdKind::NumberOrName};
    for (const auto& c : cases) {
        const RoomList list = parseRoomList(c.text, kinds);
        if (c.rooms) {
            EXPECT_EQ(list.problem, "") << c.text;
            EXPECT_EQ(roomListText(list.rooms), c.rooms) << c.text;
        } else {
            EXPECT_NE(list.problem, "") << c.text;
            EXPECT_TRUE(list.rooms.empty()) << c.text;
        }
    }
}
