#include "core/room_id.h"

#include <gtest/gtest.h>

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
