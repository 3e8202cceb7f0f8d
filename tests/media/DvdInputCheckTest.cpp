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

const InputCase kCases[] = {
    {"pal.mpg", "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3"}, ""},
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
    {"cd.mpg", "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3", "-ar", "44100"},
     "cd.mpg: audio at 44.1 kHz; a DVD takes 48 kHz."},
    {"mp3.mpg", "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3", "-c:a", "libmp3lame"},
     "mp3.mpg: MP3 audio; a DVD takes AC-3, MPEG-1 Layer II, LPCM or DTS."},
    {"film.mpg", "720x576", "30000/1001", {"-target", "pal-dvd", "-aspect", "4:3", "-r", "30000/1001"},
     "film.mpg: 29.97 frames/s is not the PAL rate (25 frames/s)."},
};

} // namespace

TEST(DvdInputCheck, EachFileThatBreaksARuleGetsOneLineInListOrder)
{
    const std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::vector<SourceFile> sources;
    // The good NTSC file is the odd one out among PAL files.
    std::vector<std::string> expected = {"ntsc.mpg is NTSC, but the other files are PAL."};
    for (const InputCase& input : kCases) {
        std::string log;
        ASSERT_TRUE(MakeMpeg(folder + input.name, input.size, input.rate, input.options, &log))
            << input.name << ": " << log;
        sources.push_back({folder + input.name, input.name});
        if (*input.problem)
            expected.push_back(input.problem);
    }
    ASSERT_TRUE(WriteFile(folder + "notes.mpg", "not a video"));
    // A FIFO is never opened, so never waited on.
    ASSERT_EQ(::mkfifo((folder + "pipe.mpg").c_str(), 0600), 0);
    for (const char* name : {"notes.mpg", "pipe.mpg"}) {
        sources.push_back({folder + name, name});
        expected.push_back(std::string(name) + ": not a video file that can be read.");
    }
    EXPECT_EQ(ProblemLines(ProbeMpegFiles(sources, nullptr, 20000, 4).files), expected);
    RemoveScratchFolder(folder);
}
