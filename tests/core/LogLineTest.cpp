#include "core/LogLine.h"

#include <gtest/gtest.h>

TEST(LogLineTest, StampsTwoDigitTimeAndOneSpace)
{
    std::tm morning {};
    morning.tm_hour = 9;
    morning.tm_min = 5;
    morning.tm_sec = 3;
    EXPECT_EQ(FormatLogLine(morning, "Burning..."), "09:05:03 Burning...");

    std::tm afternoon {};
    afternoon.tm_hour = 14;
    EXPECT_EQ(FormatLogLine(afternoon, ""), "14:00:00 ");
}
