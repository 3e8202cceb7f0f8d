#include "convert/EncoderDialect.h"

#include <gtest/gtest.h>

using Arguments = std::vector<std::string>;

TEST(EncoderDialect, FixedFormatBitrateBecomesKilobitsWithAHeldRate)
{
    Arguments mpeg1 = {"-i", "/v/clip.avi", "-y", "-f", "mpeg", "-r", "25", "-b", "160", "-s", "320x240", "/o/clip.avi.mpg"};
    EXPECT_EQ(TranslateEncoderArguments(mpeg1),
              (Arguments{"-nostdin", "-hide_banner", "-i", "/v/clip.avi", "-y", "-f", "mpeg", "-r", "25", "-b:v", "160k",
                         "-bt", "160k", "-s", "320x240", "/o/clip.avi.mpg"}));

    Arguments mpeg2 = {"-i", "a", "-y", "-f", "mpeg2video", "-r", "25", "-b", "200", "-s", "320x240", "b.mpg"};
    EXPECT_EQ(TranslateEncoderArguments(mpeg2),
              (Arguments{"-nostdin", "-hide_banner", "-i", "a", "-y", "-f", "mpeg2video", "-r", "25", "-b:v", "200k",
                         "-bt", "200k", "-s", "320x240", "b.mpg"}));
}

TEST(EncoderDialect, TargetCommandsPassInOrder)
{
    Arguments dvd = {"-i", "/v/my clip.mkv", "-y", "-target", "ntsc-dvd", "/o/vrel_1A.tmp.mpg"};
    Arguments expected = {"-nostdin", "-hide_banner"};
    expected.insert(expected.end(), dvd.begin(), dvd.end());
    EXPECT_EQ(TranslateEncoderArguments(dvd), expected);
}

TEST(EncoderDialect, BitratesAlreadyInBitsPerSecondStay)
{
    EXPECT_EQ(OldDialectKilobits("160"), "160k");
    EXPECT_EQ(OldDialectKilobits("99999"), "99999k");
    EXPECT_EQ(OldDialectKilobits("100000"), "");
    EXPECT_EQ(OldDialectKilobits("160k"), "");
    EXPECT_EQ(OldDialectKilobits("1.5M"), "");
    EXPECT_EQ(OldDialectKilobits(""), "");

    Arguments large = {"-i", "a", "-b", "800000", "b.mpg"};
    EXPECT_EQ(TranslateEncoderArguments(large), (Arguments{"-nostdin", "-hide_banner", "-i", "a", "-b", "800000", "b.mpg"}));
    Arguments modern = {"-i", "a", "-b:v", "160", "b.mpg"};
    EXPECT_EQ(TranslateEncoderArguments(modern), (Arguments{"-nostdin", "-hide_banner", "-i", "a", "-b:v", "160", "b.mpg"}));
}

TEST(EncoderDialect, ValuesThatReadLikeOptionsAreLeftAlone)
{
    // A source file called "-b" and a title holding "-b 160" are values.
    Arguments odd = {"-i", "-b", "-y", "-metadata", "-b", "160", "out.mpg"};
    EXPECT_EQ(TranslateEncoderArguments(odd),
              (Arguments{"-nostdin", "-hide_banner", "-i", "-b", "-y", "-metadata", "-b", "160", "out.mpg"}));
    // A trailing "-b" without a value is FFmpeg's to reject.
    EXPECT_EQ(TranslateEncoderArguments({"-b"}), (Arguments{"-nostdin", "-hide_banner", "-b"}));
}
