// VideoCD and SuperVideoCD images on the image-file recorder, checked with
// vcdimager's own reader.

#include "recorder/BurnEvents.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/LibburnRecorder.h"
#include "recorder/RunTool.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<int> g_reasons;

void Remember(int reason, void*, void*, void*)
{
    g_reasons.push_back(reason);
}

class VideoCdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_reasons.clear();
        ASSERT_EQ(library_.UpStartEx(), RECORDER_SUCCESS);
        ASSERT_EQ(library_.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, [](int, void*, void*, void*) {}, nullptr),
                  RECORDER_SUCCESS);
        ASSERT_EQ(library_.CdvdBurnerGrabberCreate(&handle_, report_, Remember, nullptr,
                                                   ImageFileRecorder::kPort, 0, 0, 0, 1),
                  RECORDER_SUCCESS);
    }
    void TearDown() override { library_.CdvdBurnerGrabberRelease(&handle_); }

    std::string MakeMpeg(const std::string& name, const char* target)
    {
        const std::string path = temp_.Path(name);
        const CheckToolOutput made = RunCheckTool({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                         "testsrc=size=352x288:rate=25", "-f", "lavfi", "-i", "sine", "-t", "2",
                                         "-target", target, path});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }

    LibburnRecorder library_;
    char text_[RECORDER_EXCEPTION_TEXT_SIZE] = {};
    uint32_t status_ = RECORDER_STATUS_UNSET;
    FailureDetails details_;
    CallReport report_{text_, sizeof text_, &status_, &details_};
    GrabberHandle handle_ = nullptr;
    TempDir temp_;
};

TEST_F(VideoCdTest, VideoCdLeavesABinCuePairThatVcdInfoReads)
{
    const std::string mpeg = MakeMpeg("holiday.mpg", "pal-vcd");
    ASSERT_EQ(library_.VideoCDEx(handle_, report_, 1, mpeg.c_str(), "Album VideoCDEx", 1, 1, 0, 1, 5),
              RECORDER_SUCCESS)
        << text_;
    ASSERT_TRUE(fs::exists(temp_.Path("holiday.bin")));
    const CheckToolOutput info = RunCheckTool({"vcd-info", "--no-banner", "--cue-file", temp_.Path("holiday.cue")});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("VCD 2.0"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("ALBUM_VIDEOCDEX"), std::string::npos) << info.output;
    // Nothing but the MPEG file and the pair.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp_.Folder()))
        ++entries;
    EXPECT_EQ(entries, 3u);

    // Two cache waits (the ISO track, then the MPEG track) between the
    // analysis and the final flush.
    std::vector<int> waits;
    for (int reason : g_reasons)
        if (reason == RECORDER_EVENT_CACHE_WAIT_BEGIN)
            waits.push_back(reason);
    EXPECT_EQ(waits.size(), 2u);
    ASSERT_FALSE(g_reasons.empty());
    EXPECT_EQ(g_reasons.front(), RECORDER_EVENT_ANALYZE_BEGIN);
    EXPECT_EQ(g_reasons.back(), RECORDER_EVENT_SYNCHRONIZE_END);
}

TEST_F(VideoCdTest, SuperVideoCdLeavesABinCuePairThatVcdInfoReads)
{
    const std::string mpeg = MakeMpeg("-clip 1.mpg", "pal-svcd");
    ASSERT_EQ(library_.SuperVideoCDEx(handle_, report_, 1, mpeg.c_str(), "Album VideoCDEx", 1, 1, 0, 1, 5),
              RECORDER_SUCCESS)
        << text_;
    const CheckToolOutput info = RunCheckTool({"vcd-info", "--no-banner", "--cue-file", temp_.Path("-clip 1.cue")});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("SVCD"), std::string::npos) << info.output;
}

TEST_F(VideoCdTest, MissingVcdimagerIsNamed)
{
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    setenv("PATH", temp_.Folder().c_str(), 1);
    const RecorderException result =
        library_.VideoCDEx(handle_, report_, 1, temp_.Path("none.mpg").c_str(), "Album VideoCDEx", 1, 1, 0, 1, 5);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(result, RECORDER_COMMAND_FAILED);
    EXPECT_NE(std::string(text_).find("vcdimager is not installed"), std::string::npos) << text_;
}

TEST_F(VideoCdTest, AFailingVcdimagerKeepsAnOlderPairAndSaysWhy)
{
    temp_.Write("broken.mpg", "this is not an MPEG stream");
    temp_.Write("broken.bin", "older");
    EXPECT_EQ(library_.VideoCDEx(handle_, report_, 1, temp_.Path("broken.mpg").c_str(), "Album VideoCDEx", 1, 1,
                                 0, 1, 5),
              RECORDER_COMMAND_FAILED);
    EXPECT_NE(std::string(text_).find("vcdimager failed"), std::string::npos) << text_;
    EXPECT_EQ(fs::file_size(temp_.Path("broken.bin")), 5u);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp_.Folder()))
        ++entries;
    EXPECT_EQ(entries, 2u);
}

} // namespace
