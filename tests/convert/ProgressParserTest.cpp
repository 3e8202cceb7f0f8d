#include "convert/ProgressParser.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kNinetySeconds = "  Duration: 00:01:30.25, start: 0.000000, bitrate: 1205 kb/s\n";

ProgressParser WithNinetySeconds()
{
    ProgressParser parser;
    EXPECT_EQ(parser.Parse(kNinetySeconds), std::nullopt);
    EXPECT_EQ(parser.Duration(), 90);
    return parser;
}

} // namespace

TEST(ProgressParserTest, PercentOfDurationTruncatedAndCappedBelowFull)
{
    ProgressParser parser = WithNinetySeconds();
    EXPECT_EQ(parser.Parse("frame= 1 time=45.10 bitrate= 800.1kbits/s"), 50);
    EXPECT_EQ(parser.Parse("time=44.99 bitrate="), 48); // 44 s: the fraction is cut off
    EXPECT_EQ(parser.Parse("time=95.00 bitrate="), 99);
    EXPECT_EQ(parser.Parse("time=90.00 bitrate="), 100);
    EXPECT_EQ(parser.Percent(), 100);
    EXPECT_EQ(parser.Parse("time=90.99 bitrate="), 100);

    // Positions far past a short duration, as a garbled report may give.
    ProgressParser second;
    second.Parse("Duration: 00:00:01.00");
    EXPECT_EQ(second.Parse("time=99999999 bitrate="), 99);
    EXPECT_EQ(second.Parse("time=99999999:00:00.00 bitrate="), 99);
}

TEST(ProgressParserTest, ReadsTheClockFormOfCurrentEncoders)
{
    ProgressParser parser = WithNinetySeconds();
    EXPECT_EQ(parser.Parse("frame=  61 fps=0.0 q=2.0 size=  258kB time=00:01:07.52 bitrate= 880.4kbits/s"), 74);
    EXPECT_EQ(parser.Position(), 67);

    ProgressParser hours;
    hours.Parse("Duration: 02:00:00.00, start: 0.000000");
    EXPECT_EQ(hours.Duration(), 7200);
    EXPECT_EQ(hours.Parse("time=01:30:00.00 bitrate="), 75);
    // Some streams start slightly before zero; that is no progress.
    EXPECT_EQ(hours.Parse("time=-00:00:00.04 bitrate="), 0);
}

TEST(ProgressParserTest, OnlyTheFirstTimeFollowedByBitrateCounts)
{
    ProgressParser parser = WithNinetySeconds();
    EXPECT_EQ(parser.Parse("time=09.00 bitrate=1k\rtime=45.00 bitrate=1k\r"), 10);
    EXPECT_EQ(parser.Parse("frame= 1 time=45.10 speed=1x"), std::nullopt);
    EXPECT_EQ(parser.Parse("bitrate= 1k time=45.10 speed=1x"), std::nullopt);
    EXPECT_EQ(parser.Parse("nothing here"), std::nullopt);
}

TEST(ProgressParserTest, UnknownDurationWaitsForALaterOne)
{
    ProgressParser parser;
    EXPECT_EQ(parser.Parse("  Duration: N/A, start: 0.000000, bitrate: N/A\ntime=00:00:01.00 bitrate=1k"),
              std::nullopt);
    EXPECT_EQ(parser.Duration(), 0);
    EXPECT_EQ(parser.Parse("time=00:00:02.00 bitrate=1k"), std::nullopt);
    // Cut short right after the key: the missing fields read as nothing.
    EXPECT_EQ(parser.Parse("Duration: 00"), std::nullopt);
    EXPECT_EQ(parser.Parse("Duration: 00:00:20.00\ntime=00:00:05.00 bitrate=1k"), 25);
    // The first duration found stays for the run.
    EXPECT_EQ(parser.Parse("Duration: 00:00:05.00\ntime=00:00:05.00 bitrate=1k"), 25);

    parser.Reset();
    EXPECT_EQ(parser.Parse("Input #0\n  Duration: 00:00:10.00, start: 0\nframe=1 time=00:00:02.00 bitrate=1k"), 20);
}

TEST(ProgressParserTest, AClipShorterThanASecondShowsProgress)
{
    ProgressParser parser;
    parser.Parse("  Duration: 00:00:00.50, start: 0.000000, bitrate: 1205 kb/s");
    EXPECT_DOUBLE_EQ(parser.Duration(), 0.5);
    EXPECT_EQ(parser.Parse("frame= 6 time=00:00:00.24 bitrate= 880.4kbits/s"), 48);
    EXPECT_EQ(parser.Parse("frame= 12 time=00:00:00.50 bitrate= 880.4kbits/s"), 100);
}
