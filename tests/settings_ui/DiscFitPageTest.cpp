// The disc check of the output page with a scripted drive holding a blank
// single-layer DVD-R: a drive's disc is refused, never merely warned about.
#include "OutputPageFixture.h"

#include "convert/DiscEstimate.h"
#include "support/StringSourceList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

class DiscFitPageTest : public OutputPageTest {
protected:
    void SetUp() override
    {
        OutputPageTest::SetUp();
        recorder_.mediaCapacity = SINGLE_LAYER_DVD_BYTES;
        Settings().sourcePaths = &paths_;
        Settings().sourceNames = &names_;
    }

    void AddSource(const std::string& path)
    {
        paths_.items.push_back(path);
        names_.items.push_back(std::filesystem::path(path).filename().string());
    }

    void StandInFfprobe(const std::string& seconds)
    {
        const std::string script = tools_.Write("ffprobe", "#!/bin/sh\necho " + seconds + "\n");
        ::chmod(script.c_str(), 0755);
        const char* path = std::getenv("PATH");
        path_.emplace("PATH", tools_.Folder() + ":" + (path ? path : ""));
    }

    StringSourceList paths_;
    StringSourceList names_;
    TempDir tools_;
    TempDir media_;
    std::optional<ScopedEnv> path_;
};

} // namespace

TEST_F(DiscFitPageTest, ADriveRefusesVideosTooLongForItsDisc)
{
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        AddSource(media_.Write(name, "short"));
    StandInFfprobe("5000.0"); // 4 h 10 min in all
    COutputPage& page = OpenPage(CT_VIDEO2DVD);
    Choose(IDC_OUT_BURNER, 0);

    std::optional<std::optional<VideoRunPlan>> outcome;
    ASSERT_TRUE(page.StartVideoFitCheck([&](std::optional<VideoRunPlan> plan) { outcome = plan; }));
    EXPECT_FALSE(page.StartVideoFitCheck(nullptr)) << "a second check while one runs";
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcome.has_value(); }, 30000));
    EXPECT_FALSE(outcome->has_value());
    EXPECT_EQ(seam_.BoxTexts(), std::vector<std::string>{
                                    "The videos last 4 h 10 min. A 4.7 GB DVD holds about 4 h 5 min at acceptable "
                                    "quality. Remove some files, or split them across two discs."});
}

TEST_F(DiscFitPageTest, AnUnknownCapacityRunsNoProbe)
{
    recorder_.mediaCapacity = 0;
    AddSource(media_.Write("a.avi", "short"));
    StandInFfprobe("5000.0; touch \"" + tools_.Path("ran") + "\"");
    COutputPage& page = OpenPage(CT_VIDEO2DVD);
    Choose(IDC_OUT_BURNER, 0);

    std::optional<std::optional<VideoRunPlan>> outcome;
    ASSERT_TRUE(page.StartVideoFitCheck([&](std::optional<VideoRunPlan> plan) { outcome = plan; }));
    ASSERT_TRUE(outcome.has_value()) << "decided at once";
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->videoKbps, 0);
    EXPECT_FALSE(page.IsCheckingFit());
    EXPECT_FALSE(std::filesystem::exists(tools_.Path("ran")));
    EXPECT_TRUE(seam_.BoxTexts().empty());
}

TEST_F(DiscFitPageTest, WithoutFfprobeOneQuestionSaysWhy)
{
    for (int i = 0; i < 12; ++i)
        AddSource(media_.Write("clip" + std::to_string(i) + ".avi", "short"));
    path_.emplace("PATH", tools_.Folder()); // no ffprobe there
    COutputPage& page = OpenPage(CT_VIDEO2DVD);
    Choose(IDC_OUT_BURNER, 0);

    std::optional<std::optional<VideoRunPlan>> outcome;
    ASSERT_TRUE(page.StartVideoFitCheck([&](std::optional<VideoRunPlan> plan) { outcome = plan; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcome.has_value(); }, 30000));
    const std::vector<ScriptedSeam::Box> boxes = seam_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("ffprobe was not found (install the ffmpeg package)"), std::string::npos)
        << boxes[0].text;
    EXPECT_EQ(boxes[0].text.find("clip"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].type & 0x0F, static_cast<unsigned>(MB_YESNO));
}

TEST_F(DiscFitPageTest, ThePageIsHeldStillWhileTheLengthsAreReadAndGivenBackAsItWas)
{
    AddSource(media_.Write("a.avi", "short"));
    StandInFfprobe("1.0; exec sleep 60");
    // Disabled on purpose: the folder follows the temporary folder.
    Settings().useTempFolder = 1;
    COutputPage& page = OpenPage(CT_VIDEO2DVD);
    Choose(IDC_OUT_BURNER, 0);
    const std::vector<int> ids = {IDC_OUT_FOLDER,     IDC_OUT_BROWSE,   IDC_OUT_SAME_AS_SOURCE, IDC_OUT_USE_TEMP,
                                  IDC_OUT_OVERWRITE,  IDC_OUT_ALL_IN_ONE, IDC_OUT_FORMAT,      IDC_OUT_TV_SYSTEM,
                                  IDC_OUT_VOLUME_LABEL, IDC_OUT_BURNER, IDC_OUT_SPEED,         IDC_OUT_REFRESH};
    std::vector<bool> before;
    for (int id : ids)
        before.push_back(page.IsDlgItemEnabled(id));
    ASSERT_FALSE(page.IsDlgItemEnabled(IDC_OUT_FOLDER));
    ASSERT_TRUE(page.IsDlgItemEnabled(IDC_OUT_BURNER));

    bool called = false;
    ASSERT_TRUE(page.StartVideoFitCheck([&](std::optional<VideoRunPlan>) { called = true; }));
    for (int id : ids)
        EXPECT_FALSE(page.IsDlgItemEnabled(id)) << "control " << id;
    page.CancelFitCheck();
    EXPECT_FALSE(page.IsCheckingFit());
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(page.IsDlgItemEnabled(ids[i]), before[i]) << "control " << ids[i];
    EXPECT_TRUE(run_.Jobs().WaitForAll(std::chrono::seconds(10)).empty());
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_FALSE(called);
    EXPECT_TRUE(seam_.BoxTexts().empty());
}

TEST_F(DiscFitPageTest, ARecorderSearchEndingDuringTheCheckEndsItAndThePageStays)
{
    AddSource(media_.Write("a.avi", "short"));
    StandInFfprobe("1.0; exec sleep 60");
    COutputPage& page = OpenPage(CT_VIDEO2DVD);
    Choose(IDC_OUT_BURNER, 0);
    recorder_.CloseGate();
    page.FillBurnerLists();
    ASSERT_TRUE(ProcessEventsUntil([&] { return recorder_.SearchWaiting(); }, 10000));

    std::optional<std::optional<VideoRunPlan>> outcome;
    ASSERT_TRUE(page.StartVideoFitCheck([&](std::optional<VideoRunPlan> plan) { outcome = plan; }));
    recorder_.OpenGate();
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcome.has_value(); }, 10000));
    EXPECT_FALSE(outcome->has_value());
    EXPECT_FALSE(page.IsCheckingFit());
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_OUT_BURNER));
    EXPECT_TRUE(seam_.BoxTexts().empty());
}

TEST_F(DiscFitPageTest, MpegFilesLargerThanTheDiscKeepThePage)
{
    const std::string big = media_.Write("big.mpg", "");
    ASSERT_EQ(::truncate(big.c_str(), 4800000000LL), 0); // sparse
    AddSource(big);
    COutputPage& page = OpenPage(CT_MPG2DVD);
    Choose(IDC_OUT_BURNER, 0);
    EXPECT_EQ(page.CheckMpegFilesFit(), 0);
    EXPECT_EQ(seam_.BoxTexts(), std::vector<std::string>{"The MPEG files need about 4.90 GB on the disc, which "
                                                         "holds 4.70 GB. Remove some files, or split them across "
                                                         "two discs."});

    ASSERT_EQ(::truncate(big.c_str(), 4000000000LL), 0);
    EXPECT_EQ(page.CheckMpegFilesFit(), 1);
    EXPECT_EQ(seam_.BoxTexts().size(), 1u);
}
