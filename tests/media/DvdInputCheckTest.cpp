// The burning task's input check over real files made by FFmpeg, each but
// the good ones breaking one rule, read by the real ffprobe side by side.

#include "MediaKit.h"

#include "convert/DvdInputRules.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct InputCase {
    const char* name;
    const char* size;
    const char* rate;
    std::vector<std::string> options;
    // What its one line says; "" for a file a player takes.
    const char* problem;
};

const std::vector<std::string> kPalDvd = {"-target", "pal-dvd", "-aspect", "4:3"};

std::vector<std::string> PalDvdWith(std::vector<std::string> more)
{
    more.insert(more.begin(), kPalDvd.begin(), kPalDvd.end());
    return more;
}

const InputCase kCases[] = {
    {"pal.mpg", "720x576", "25", kPalDvd, ""},
    {"ntsc.mpg", "720x480", "30000/1001", {"-target", "ntsc-dvd", "-aspect", "16:9"}, ""},
    {"vcd.mpg", "352x288", "25", {"-target", "pal-vcd", "-aspect", "4:3", "-ar", "48000"}, ""},
    {"holiday.mpg", "640x480", "25", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"},
     "holiday.mpg: 640×480 is not a DVD picture size (PAL: 720×576, 704×576, 352×576, 352×288)."},
    {"phone.mpg", "720x576", "25", {"-c:v", "mpeg4", "-c:a", "aac", "-f", "mp4"},
     "phone.mpg: QuickTime / MOV, not an MPEG program stream."},
    {"wide.mpg", "720x576", "25", {"-target", "pal-dvd", "-aspect", "2.21"},
     "wide.mpg: a display aspect of 2.21:1; a DVD takes 4:3 or 16:9."},
    {"fast.mpg", "720x576", "25",
     {"-c:v", "mpeg2video", "-b:v", "10M", "-maxrate", "10M", "-bufsize", "1835k", "-aspect", "4:3", "-c:a", "ac3",
      "-f", "dvd"},
     "fast.mpg: video at 10,000 kbit/s, above the 9,800 kbit/s a DVD allows."},
    {"cd.mpg", "720x576", "25", PalDvdWith({"-ar", "44100"}), "cd.mpg: audio at 44.1 kHz; a DVD takes 48 kHz."},
    {"mp3.mpg", "720x576", "25", PalDvdWith({"-c:a", "libmp3lame"}),
     "mp3.mpg: MP3 audio; a DVD takes AC-3, MPEG-1 Layer II, LPCM or DTS."},
    {"film.mpg", "720x576", "30000/1001", PalDvdWith({"-r", "30000/1001"}),
     "film.mpg: 29.97 frames/s is not the PAL rate (25 frames/s)."},
};

class DvdInputCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = MakeScratchFolder();
        ASSERT_FALSE(folder_.empty());
        for (const InputCase& input : kCases) {
            std::string log;
            ASSERT_TRUE(MakeMpeg(folder_ + input.name, input.size, input.rate, input.options, &log))
                << input.name << ": " << log;
        }
        ASSERT_TRUE(WriteFile(folder_ + "notes.mpg", "not a video"));
        ASSERT_EQ(::mkfifo((folder_ + "pipe.mpg").c_str(), 0600), 0);
    }
    static void TearDownTestSuite() { RemoveScratchFolder(folder_); }

    static MpegSurvey Probe(const std::vector<std::string>& names)
    {
        std::vector<SourceFile> sources;
        for (const std::string& name : names)
            sources.push_back({folder_ + name, name});
        return ProbeMpegFiles(sources, nullptr, 20000, 4);
    }

    static std::string folder_;
};

std::string DvdInputCheck::folder_;

} // namespace

TEST_F(DvdInputCheck, EachFileThatBreaksARuleGetsOneLineInListOrder)
{
    std::vector<std::string> names;
    std::vector<std::string> expected;
    for (const InputCase& input : kCases) {
        names.push_back(input.name);
        if (*input.problem)
            expected.push_back(input.problem);
    }
    names.push_back("notes.mpg");
    expected.push_back("notes.mpg: not a video file that can be read.");
    names.push_back("pipe.mpg"); // a FIFO is never opened, so never waited on
    expected.push_back("pipe.mpg: not a video file that can be read.");

    const MpegSurvey survey = Probe(names);
    ASSERT_EQ(survey.files.size(), names.size());
    EXPECT_FALSE(survey.cancelled);
    // The NTSC file is the odd one out among PAL files.
    expected.insert(expected.begin(), "ntsc.mpg is NTSC, but the other files are PAL.");
    EXPECT_EQ(ProblemLines(survey.files), expected);
}

TEST_F(DvdInputCheck, AGoodPalAndAGoodNtscFileCannotShareADisc)
{
    EXPECT_EQ(DecideMpegInputs(Probe({"pal.mpg", "vcd.mpg"})).action, FitAction::GoOn);
    EXPECT_EQ(DecideMpegInputs(Probe({"ntsc.mpg"})).action, FitAction::GoOn);
    EXPECT_EQ(ProblemLines(Probe({"pal.mpg", "ntsc.mpg"}).files),
              std::vector<std::string>{"ntsc.mpg is NTSC, but the other file is PAL."});
}
