// The disc estimate against what the real tools make of real clips: FFmpeg
// through mg.exe, dvdauthor through ar.exe, ffprobe for the lengths.

#include "BurnFlowKit.h"

#include "core/ConversionSettings.h"
#include "convert/DiscEstimate.h"
#include "convert/DurationProbe.h"
#include "media/MediaKit.h"
#include "support/ManualJobControl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Busy enough that the encoder spends the whole rate it is given, as a
// film does over minutes; a still picture would make the estimate look bad.
std::string NoiseClip(const TempDir& dir, const std::string& name, int seconds)
{
    const std::string path = dir.Path(name);
    const std::string length = std::to_string(seconds);
    const ProgramResult made = RunProgram(
        {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=720x576:r=25,noise=alls=30:allf=t+u", "-f",
         "lavfi", "-i", "anoisesrc=d=" + length + ":a=0.5", "-t", length, "-c:v", "mpeg2video", "-q:v", "1", "-c:a",
         "mp2", path});
    EXPECT_EQ(made.exitCode, 0) << made.output;
    return path;
}

int64_t FolderBytes(const std::string& folder)
{
    int64_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            total += static_cast<int64_t>(entry.file_size());
    return total;
}

} // namespace

TEST(DiscEstimateFlowTest, TheEstimateOfAConvertedAndAuthoredRunIsWithinFivePercent)
{
    TempDir dir;
    ConversionRequest request;
    request.task = CT_VIDEO2DVD;
    request.tvSystem = 0;
    request.outputFolder = dir.Folder();
    request.programFolder = ProgramFolder();
    request.sources = {{NoiseClip(dir, "one.mkv", 3), "one.mkv"},
                       {NoiseClip(dir, "two.mkv", 4), "two.mkv"},
                       {NoiseClip(dir, "three.mkv", 3), "three.mkv"}};

    const DurationSurvey survey = ProbeDurations(request.sources);
    ASSERT_TRUE(survey.unknown.empty());
    EXPECT_NEAR(survey.knownSeconds, 10.0, 0.2);
    const int64_t estimate = EstimateVideoTsBytes(survey.knownSeconds, DVD_VIDEO_KBPS, 3);

    RecordingConversionView view;
    ManualJobControl control;
    const ConversionResult converted = AVI2MPEGFunc(request, view, &control, 50);
    ASSERT_EQ(converted.succeededCount, 3) << view.log;
    std::vector<std::string> files = converted.convertedFiles;
    std::string log;
    const std::string videoTs = Author(CT_VIDEO2DVD, *converted.workFolder, &files, &log);
    ASSERT_FALSE(videoTs.empty()) << log;

    const int64_t authored = FolderBytes(videoTs);
    EXPECT_NEAR(static_cast<double>(estimate) / static_cast<double>(authored), 1.0, 0.05)
        << "estimate " << estimate << ", VIDEO_TS " << authored;
}

TEST(DiscEstimateFlowTest, TheImageFileRecorderStandsForASingleLayerDvd)
{
    LibburnRecorder library;
    const std::shared_ptr<CDevice> recorder = FindImageRecorder(library);
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(recorder->IsImageFileRecorder());
    EXPECT_EQ(recorder->GetMediaCapacity(), 4700372992LL);
}
