#include "core/room_id.h"

#include <gtest/gtest.h>

#include "core/room_list.h"

TEST(RoomId, NumberedPlatformsTakeDigitsAndNamedOnesAlsoTakeNames) {
    const struct {
        int platform;
        const char* room;
        bool fits;
    } cases[] = {
        {0, "516207", true},
        {5, "9", true},
        {0, "", false},
        {3, "12a", false},
        {4, "12 34", false},
        {4, "-1", false},
        {1, "\xa3\xb1\xa3\xb2", false},  // full-width digits (GBK)
        {2, "1234567890123456789012345678901234567890", true},
        {2, "12345678901234567890123456789012345678901", false},
        {6, "lpl", true},
        {6, "660000", true},
        {6, "a_b-c", true},
        {6, "", false},
        {6, "a b", false},
        {6, "http://x/1", false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(roomIdProblem(row.platform, row.room) == nullptr, row.fits)
            << row.platform << " " << row.room;
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
    for (const auto& c : cases) {
        const RoomList list = parseRoomList(c.text, 7);
        if (c.rooms) {
            EXPECT_EQ(list.problem, "") << c.text;
            EXPECT_EQ(roomListText(list.rooms), c.rooms) << c.text;
        } else {
            EXPECT_NE(list.problem, "") << c.text;
            EXPECT_TRUE(list.rooms.empty()) << c.text;
        }
    }
}
