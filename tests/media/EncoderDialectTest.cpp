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
    Arguments svcd = {"-i", "/v/my clip.mkv", "-y", "-target", "ntsc-svcd", "/o/clip.mkv.vob"};
    Arguments expected = {"-nostdin", "-hide_banner"};
    expected.insert(expected.end(), svcd.begin(), svcd.end());
    EXPECT_EQ(TranslateEncoderArguments(svcd), expected);
}

TEST(EncoderDialect, DvdTargetsGetTheAspectFilterBeforeTheOutput)
{
    Arguments dvd = {"-i", "/v/my clip.mkv", "-y", "-target", "ntsc-dvd", "/o/vrel_1A.tmp.mpg"};
    std::string filter = DvdAspectFilter(dvd);
    EXPECT_NE(filter.find("pad=720:480:"), std::string::npos) << filter;
    EXPECT_NE(filter.find("setdar="), std::string::npos) << filter;
    EXPECT_EQ(TranslateEncoderArguments(dvd),
              (Arguments{"-nostdin", "-hide_banner", "-i", "/v/my clip.mkv", "-y", "-target", "ntsc-dvd", "-vf", filter,
                         "/o/vrel_1A.tmp.mpg"}));
    EXPECT_NE(DvdAspectFilter({"-i", "a", "-target", "pal-dvd", "b.mpg"}).find("pad=720:576:"), std::string::npos);
    EXPECT_NE(DvdAspectFilter({"-i", "a", "-target", "film-dvd", "b.mpg"}).find("pad=720:480:"), std::string::npos);

    // Other targets, and callers who shape the video themselves, are left alone.
    EXPECT_EQ(DvdAspectFilter({"-i", "a", "-target", "pal-vcd", "b.mpg"}), "");
    EXPECT_EQ(DvdAspectFilter({"-i", "a", "-target", "pal-dvd", "-vf", "scale=1:1", "b.mpg"}), "");
    EXPECT_EQ(DvdAspectFilter({"-i", "a", "-target", "pal-dvd", "-aspect", "4:3", "b.mpg"}), "");
    EXPECT_EQ(DvdAspectFilter({"-i", "a", "-target", "pal-dvd", "-vn", "b.mpg"}), "");
    EXPECT_EQ(DvdAspectFilter({"-i", "-target", "-metadata", "pal-dvd", "b.mpg"}), "");
}

TEST(EncoderDialect, OutputIsTheLastArgumentWhenItNamesAFile)
{
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-y", "-target", "pal-dvd", "b.mpg"}), 5);
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-y", "-target", "pal-dvd", "-b.mpg"}), -1);
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-f", "mpeg", "-"}), -1);
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-f", "mpeg", "pipe:1"}), -1);
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-f", "mpeg", "udp://host:1234"}), -1);
    EXPECT_EQ(EncoderOutputIndex({"-i", "a.avi", "-y"}), -1);
    EXPECT_EQ(EncoderOutputIndex({"-version"}), -1);
    EXPECT_EQ(EncoderOutputIndex({}), -1);

    Arguments withValues = {"-metadata", "-y", "-i", "a", "-n", "b.mpg"};
    EXPECT_FALSE(HasEncoderFlag(withValues, "-y"));
    EXPECT_TRUE(HasEncoderFlag(withValues, "-n"));
    EXPECT_EQ(WithoutEncoderFlag(withValues, "-n"), (Arguments{"-metadata", "-y", "-i", "a", "b.mpg"}));
    EXPECT_EQ(WithoutEncoderFlag(withValues, "-y"), withValues);
}

TEST(EncoderDialect, TemporaryNameKeepsFolderAndExtension)
{
    TemporaryTemplate name = TemporaryOutputTemplate("/o/clip.avi.vob", false);
    EXPECT_EQ(name.pattern, "/o/clip.avi.mg-XXXXXX.vob");
    EXPECT_EQ(name.suffixLength, 4);
    EXPECT_EQ(TemporaryOutputTemplate("/o/clip.avi.vob", true).pattern, "/o/.mg-XXXXXX.vob");
    EXPECT_EQ(TemporaryOutputTemplate("/o.d/noext", false).pattern, "/o.d/noext.mg-XXXXXX");
    EXPECT_EQ(TemporaryOutputTemplate("/o/.hidden", false).suffixLength, 0);
    EXPECT_EQ(TemporaryOutputTemplate("out.mpg", false).pattern, "out.mg-XXXXXX.mpg");
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
