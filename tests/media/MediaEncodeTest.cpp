// Real encodes: the conversion jobs' own command lines run through mg.exe,
// the outputs checked with ffprobe against what each output format promises.

#include "MediaKit.h"

#include "core/ConversionSettings.h"
#include "convert/ConversionRequest.h"
#include "convert/EncodingJob.h"
#include "convert/ProcessRunner.h"
#include "convert/ProgressParser.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct FormatCase {
    const char* name;
    int task;
    int outputFormat;       // task 2
    int tvSystem;           // task 0
    const char* container;  // ffprobe's format_name
    const char* videoCodec;
    int width;
    int height;
    const char* frameRate;  // ffprobe's r_frame_rate
    const char* audioCodec; // with a source that has sound; "" for none
};

const FormatCase kStrandMpeg1 = {"Strand MPEG 1", CT_VIDEO2MPG, 0, 0, "mpeg", "mpeg1video", 320, 240, "25/1", "mp2"};

const FormatCase kFormats[] = {
    kStrandMpeg1,
    // An elementary video stream is what this format has always written.
    {"Strand MPEG 2", CT_VIDEO2MPG, 1, 0, "mpegvideo", "mpeg2video", 320, 240, "25/1", ""},
    {"PAL_VCD", CT_VIDEO2MPG, 2, 0, "mpeg", "mpeg1video", 352, 288, "25/1", "mp2"},
    {"PAL_SVCD", CT_VIDEO2MPG, 3, 0, "mpeg", "mpeg2video", 480, 576, "25/1", "mp2"},
    {"PAL_DVD", CT_VIDEO2MPG, 4, 0, "mpeg", "mpeg2video", 720, 576, "25/1", "ac3"},
    {"NTSC_VCD", CT_VIDEO2MPG, 5, 0, "mpeg", "mpeg1video", 352, 240, "30000/1001", "mp2"},
    {"NTSC_SVCD", CT_VIDEO2MPG, 6, 0, "mpeg", "mpeg2video", 480, 480, "30000/1001", "mp2"},
    {"NTSC_DVD", CT_VIDEO2MPG, 7, 0, "mpeg", "mpeg2video", 720, 480, "30000/1001", "ac3"},
    {"DVD, PAL", CT_VIDEO2DVD, 0, 0, "mpeg", "mpeg2video", 720, 576, "25/1", "ac3"},
    {"DVD, NTSC", CT_VIDEO2DVD, 0, 1, "mpeg", "mpeg2video", 720, 480, "30000/1001", "ac3"},
};

class MediaEncode : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = MakeScratchFolder();
        ASSERT_FALSE(folder_.empty());
        std::string log;
        ASSERT_TRUE(MakeClip(folder_ + "sound.mkv", 2, true, &log)) << log;
        ASSERT_TRUE(MakeClip(folder_ + "silent.mkv", 2, false, &log)) << log;
    }
    static void TearDownTestSuite() { RemoveScratchFolder(folder_); }

    static EncodingJob Job(const FormatCase& format, const std::string& source)
    {
        ConversionRequest settings;
        settings.programFolder = KANDRIX_BIN_DIR;
        settings.outputFolder = folder_;
        settings.workFolder = folder_;
        settings.task = format.task;
        settings.outputFormat = format.outputFormat;
        settings.tvSystem = format.tvSystem;
        std::string error;
        std::optional<EncodingJob> job = BuildJob(settings, source, FileNameOf(source), &error);
        EXPECT_TRUE(job) << error;
        return job.value_or(EncodingJob());
    }

    static ProgramResult Encode(const EncodingJob& job)
    {
        return job.arguments.empty() ? ProgramResult() : RunProgram(job.arguments);
    }

    static std::string folder_;
};

std::string MediaEncode::folder_;

void ExpectFormat(const FormatCase& format, const std::string& path, bool sourceHasSound)
{
    nlohmann::json report;
    std::string log;
    ASSERT_TRUE(ProbeMedia(path, &report, &log)) << log;
    EXPECT_EQ(TextOf(report.value("format", nlohmann::json::object()), "format_name"), format.container);

    const nlohmann::json* video = FindStream(report, "video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(TextOf(*video, "codec_name"), format.videoCodec);
    EXPECT_EQ(IntegerOf(*video, "width"), format.width);
    EXPECT_EQ(IntegerOf(*video, "height"), format.height);
    EXPECT_EQ(TextOf(*video, "r_frame_rate"), format.frameRate);

    const nlohmann::json* audio = FindStream(report, "audio");
    if (sourceHasSound && *format.audioCodec) {
        ASSERT_NE(audio, nullptr);
        EXPECT_EQ(TextOf(*audio, "codec_name"), format.audioCodec);
    } else {
        EXPECT_EQ(audio, nullptr);
    }
}

} // namespace

TEST_F(MediaEncode, EveryFormatHoldsWhatItPromisesWithAndWithoutSound)
{
    for (const FormatCase& format : kFormats) {
        for (bool sound : {true, false}) {
            SCOPED_TRACE(std::string(format.name) + (sound ? ", source with sound" : ", silent source"));
            EncodingJob job = Job(format, folder_ + (sound ? "sound.mkv" : "silent.mkv"));
            ProgramResult result = Encode(job);
            EXPECT_EQ(result.exitCode, 0) << result.output;
            ASSERT_TRUE(FileExists(job.outputPath)) << result.output;
            ExpectFormat(format, job.outputPath, sound);
        }
    }
}

// The conversion page's bar is driven only by what the runner parses out of
// the encoder's output; the parser must understand the real encoder's text,
// report by report (a short encode comes in one or two chunks).
TEST_F(MediaEncode, RunnerAndParserUnderstandTheRealEncoder)
{
    EncodingJob job = Job(kFormats[4], folder_ + "sound.mkv");
    std::string output;
    EncoderRun run;
    run.arguments = job.arguments;
    run.log = [&](const std::string& entry) { output += entry + "\n"; };
    ProgressParser parser;
    ASSERT_EQ(RunEncoder(run, parser).result, RunResult::Finished) << output;
    ASSERT_TRUE(FileExists(job.outputPath)) << output;

    ProgressParser reports;
    int last = -1;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = std::min(output.find_first_of("\r\n", start), output.size());
        if (std::optional<int> percent = reports.Parse(std::string_view(output).substr(start, end - start)))
            last = *percent;
        start = end + 1;
    }
    EXPECT_EQ(reports.Duration(), 2) << output;
    EXPECT_GE(last, 90) << output;
}

// FFmpeg reads a bare "-b 160" as 160 bit/s, and its default tolerance lets
// the rate run far above a small target; the format promises about 160 kbit/s.
TEST_F(MediaEncode, StrandMpeg1KeepsItsVideoBitrate)
{
    constexpr int kSeconds = 4;
    std::string source = folder_ + "four.mkv";
    std::string log;
    ASSERT_TRUE(MakeClip(source, kSeconds, true, &log)) << log;
    EncodingJob job = Job(kStrandMpeg1, source);
    ProgramResult result = Encode(job);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    double kilobits = VideoPayloadBytes(job.outputPath) * 8.0 / 1000.0 / kSeconds;
    // Untranslated: about 100; without a held rate: about 340.
    EXPECT_GT(kilobits, 130);
    EXPECT_LT(kilobits, 240);
}

TEST_F(MediaEncode, SourcePathWithShellCharactersEncodes)
{
    std::string source = folder_ + "my \"best\" $HOME `id` it's.mkv";
    std::string log;
    ASSERT_TRUE(MakeClip(source, 1, true, &log)) << log;
    EncodingJob job = Job(kFormats[9], source);
    ProgramResult result = Encode(job);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    nlohmann::json report;
    ASSERT_TRUE(ProbeMedia(job.outputPath, &report, &log)) << log;
    const nlohmann::json* video = FindStream(report, "video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(IntegerOf(*video, "width"), 720);
}

TEST_F(MediaEncode, AHalfSecondClipShowsProgress)
{
    const std::string source = folder_ + "half.mkv";
    ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
                                     "testsrc=duration=0.5:size=320x240:rate=25", source});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EncodingJob job = Job(kFormats[4], source);
    std::vector<int> percents;
    EncoderRun run;
    run.arguments = job.arguments;
    run.progress = [&](int percent) { percents.push_back(percent); };
    ProgressParser parser;
    ASSERT_EQ(RunEncoder(run, parser).exitStatus, 0);
    ASSERT_FALSE(percents.empty());
    EXPECT_GT(percents.back(), 50);
}
