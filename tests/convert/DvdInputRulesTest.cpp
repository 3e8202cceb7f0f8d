// The rules over ffprobe's reports, without ffprobe: the edge cases that
// real encodes do not easily give.
#include "convert/DvdInputRules.h"

#include <gtest/gtest.h>

namespace {

// An MPEG program stream of one video and one 48 kHz AC-3 stream; the
// rates in bit/s.
MpegFacts Mpeg(const std::string& codec, int width, int height, Ratio rate, Ratio aspect, int64_t streamRate = 0,
               int64_t peak = 0, int64_t fileRate = 0)
{
    VideoFacts video{codec, width, height, rate, rate, aspect, streamRate, peak};
    return {true, "mpeg", "", fileRate, {video}, {{"ac3", 48000, 448000}}};
}

const Ratio kPal{25, 1}, kNtsc{30000, 1001}, kFilm{24000, 1001}, k43{4, 3}, k169{16, 9};

} // namespace

TEST(DvdInputRulesTest, EachFileIsCheckedAgainstWhatAPlayerTakes)
{
    MpegFacts nineTracks = Mpeg("mpeg2video", 720, 576, kPal, k169);
    nineTracks.audio.assign(9, {"mp3", 44100, 0});
    const struct {
        const char* what;
        MpegFacts facts;
        std::vector<std::string> problems;
    } rows[] = {
        // MPEG-1's pixel shapes make its 4:3 and 16:9 a little off.
        {"MPEG-1 at 352×288", Mpeg("mpeg1video", 352, 288, kPal, {1958, 1467}), {}},
        {"MPEG-1 at 352×240", Mpeg("mpeg1video", 352, 240, kNtsc, {704, 405}), {}},
        {"NTSC film rate", Mpeg("mpeg2video", 720, 480, kFilm, k169), {}},
        {"declared peak at the limit", Mpeg("mpeg2video", 704, 576, kPal, k43, 0, 9800000), {}},
        {"MPEG-1 at full size", Mpeg("mpeg1video", 720, 576, kPal, k43),
         {"MPEG-1 video at 720×576; a DVD takes MPEG-1 only at 352×240 or 352×288"}},
        {"neither system", Mpeg("h264", 640, 480, {15, 1}, {5, 4}),
         {"H.264 video, not MPEG-2",
          "640×480 is not a DVD picture size (PAL: 720×576, 704×576, 352×576, 352×288; NTSC: 720×480, 704×480, "
          "352×480, 352×240)",
          "15 frames/s is not a DVD frame rate (25, 29.97 or 23.976 frames/s)",
          "a display aspect of 5:4; a DVD takes 4:3 or 16:9"}},
        // MPEG-1's "variable" is no rate: the file's rate less the audio counts.
        {"MPEG-1 variable rate", Mpeg("mpeg1video", 352, 288, kPal, k43, 104857200, 0, 10500000),
         {"video at 10,052 kbit/s, above the 9,800 kbit/s a DVD allows"}},
        {"the stream's own rate first", Mpeg("mpeg2video", 720, 576, kPal, k43, 9801000, 9800000),
         {"video at 9,801 kbit/s, above the 9,800 kbit/s a DVD allows"}},
        {"nine MP3 tracks", nineTracks,
         {"9 audio streams; a DVD takes at most 8", "MP3 audio; a DVD takes AC-3, MPEG-1 Layer II, LPCM or DTS",
          "audio at 44.1 kHz; a DVD takes 48 kHz"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FileProblems(row.facts), row.problems) << row.what;
}

TEST(DvdInputRulesTest, TheOddTvSystemIsNamedAndTheBoxListsTenFiles)
{
    const MpegFacts pal = Mpeg("mpeg2video", 720, 576, kPal, k43);
    const MpegFacts ntsc = Mpeg("mpeg2video", 720, 480, kNtsc, k43);
    MpegFacts ntscAt44 = ntsc;
    ntscAt44.audio[0].sampleRate = 44100;
    // A tie goes to the first file; an unreadable file counts for neither.
    EXPECT_EQ(ProblemLines({{"a.mpg", ntsc}, {"bad.mpg", {}}, {"b.mpg", pal}}),
              (std::vector<std::string>{"bad.mpg: not a video file that can be read.",
                                        "b.mpg is PAL, but the other file is NTSC."}));
    EXPECT_EQ(ProblemLines({{"a.mpg", pal}, {"b.mpg", ntscAt44}, {"c.mpg", ntsc}, {"d.mpg", pal}, {"e.mpg", pal}}),
              (std::vector<std::string>{"b.mpg is NTSC, but most files are PAL; audio at 44.1 kHz; a DVD takes 48 kHz.",
                                        "c.mpg is NTSC, but most files are PAL."}));

    MpegSurvey survey;
    for (int i = 0; i < 12; ++i)
        survey.files.push_back({"clip" + std::to_string(i) + ".mpg", {}});
    const FitDecision decision = DecideMpegInputs(survey);
    EXPECT_EQ(decision.action, FitAction::Ask);
    EXPECT_NE(decision.text.find("clip9.mpg: not a video file that can be read.\n... and 2 more files.\n\nA DVD "
                                 "player may refuse these files. Convert them with 'Create video DVD from video "
                                 "files' instead. Burn them anyway?"),
              std::string::npos)
        << decision.text;
    EXPECT_EQ(decision.text.find("clip10"), std::string::npos);
    survey.cancelled = true;
    EXPECT_EQ(DecideMpegInputs(survey).action, FitAction::Stay);
}
