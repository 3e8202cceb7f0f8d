// Next on the output page of a DVD run plans the disc from the sources'
// lengths, read by the ffprobe on the PATH: here a stand-in that reports
// long lengths for short files, with the real image-file recorder (a 4.7 GB
// disc), the real mg.exe and FFmpeg.
#include "app_ui/WizardFixture.h"

#include "shell/CTaskPage.h"
#include "burn/DeviceList.h"
#include "burn/MockRecorderLibrary.h"
#include "convert/page/CConvertPage.h"
#include "convert/page/CFileListPage.h"
#include "convert/DiscEstimate.h"
#include "media/MediaKit.h"
#include "support/ScopedEnv.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace {

// A stand-in ffprobe first on the PATH while the object lives.
class StandInFfprobe {
public:
    // body: the script after its first line.
    StandInFfprobe(const std::string& folder, const std::string& body)
        : folder_(MakeScript(folder + "tools", body)), path_("PATH", PathWithFirst(folder_))
    {
    }

private:
    static std::string MakeScript(const std::string& folder, const std::string& body)
    {
        std::filesystem::create_directories(folder);
        const std::string script = folder + "/ffprobe";
        WriteFile(script, "#!/bin/sh\n" + body + "\n");
        ::chmod(script.c_str(), 0755);
        return folder;
    }

    std::string folder_;
    ScopedEnv path_;
};

class WizardDiscFitTest : public WizardTest {
protected:
    // Task 0 up to the output page with the last recorder listed chosen (the
    // real library's image-file recorder unless a test set another) and
    // the outputs in the test's folder; burning waits for Start.
    CKANDRIXDlg& OpenOutputPage(const std::vector<std::string>& sources)
    {
        Settings().useTempFolder = 0;
        Settings().outputFolder = folder_;
        CKANDRIXDlg& window = OpenWindow();
        window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2DVD);
        window.OnNext();
        for (const std::string& source : sources)
            window.FileListPage()->AddFile(source);
        window.OnNext();
        EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);
        ChooseImageFileRecorder(window);
        window.OutputPage()->CheckDlgButton(IDC_OUT_ALL_IN_ONE, 0);
        return window;
    }

    std::string Clip(const std::string& name)
    {
        // Busy enough that the encoder spends the rate it is given, and long
    // enough that what it spends while its buffer fills (0.8 to 1.1 Mbit a
    // file at any length, about 4% of 8 seconds) does not hide the rate.
        const std::string path = File(name);
        const ProgramResult made = RunProgram(
            {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=720x576:r=25,noise=alls=30:allf=t+u",
             "-f", "lavfi", "-i", "anoisesrc=d=8:a=0.5", "-t", "8", "-c:v", "mpeg2video", "-q:v", "1", "-c:a",
             "mp2", path});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }

    std::vector<std::string> MpegFilesInFolder() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            if (entry.path().extension() == ".mpg")
                found.push_back(entry.path().string());
        return found;
    }
};

} // namespace

TEST_F(WizardDiscFitTest, FiveHoursAreRefusedWithTheFiguresBeforeAnyConversion)
{
    const std::vector<std::string> sources = {File("a.avi"), File("b.avi"), File("c.avi")};
    for (const std::string& source : sources)
        WriteFile(source, "short");
    StandInFfprobe probe(folder_, "echo 6000.0");
    CKANDRIXDlg& window = OpenOutputPage(sources);

    window.OnNext();
    // The lengths are read on a job: the wizard waits with Next grey, and
    // Prev would stop the check.
    EXPECT_TRUE(window.OutputPage()->IsCheckingFit());
    EXPECT_FALSE(window.IsDlgItemEnabled(IDC_MAIN_NEXT));
    EXPECT_TRUE(window.IsDlgItemEnabled(IDC_MAIN_PREV));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));

    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);
    EXPECT_TRUE(window.IsDlgItemEnabled(IDC_MAIN_NEXT));
    const std::vector<ScriptedSeam::Box> boxes = seam_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("The videos last 5 h 0 min. A 4.7 GB DVD holds about 4 h 5 min at acceptable "
                                  "quality.", 0),
              0u)
        << boxes[0].text;
    // The image-file recorder asks, since a larger image may still serve;
    // the scripted answer is No.
    EXPECT_NE(boxes[0].text.find("8.5 GB double-layer DVD"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].type & 0x0F, static_cast<unsigned>(MB_YESNO));
    EXPECT_FALSE(window.ConvertPage()->IsConverting());
    EXPECT_TRUE(MpegFilesInFolder().empty());
}

TEST_F(WizardDiscFitTest, ADriveRefusesFourHoursAndTenMinutesBeforeAnyConversion)
{
    ScriptedRecorder drive;
    drive.devices = {ScriptedRecorder::Address(1, 0, 0, 0)};
    drive.discType = DISC_TYPE_DVDR;
    drive.highestWriteSpeed = 11080;
    drive.mediaCapacity = SINGLE_LAYER_DVD_BYTES;
    UseRecorderLibrary(drive);
    // The run holds grabbers of this library: it ends before the library does.
    struct EndRunFirst {
        WizardDiscFitTest& test;
        ~EndRunFirst() { test.EndRun(); }
    } endRunFirst{*this};

    const std::vector<std::string> sources = {File("a.avi"), File("b.avi"), File("c.avi")};
    for (const std::string& source : sources)
        WriteFile(source, "short");
    StandInFfprobe probe(folder_, "echo 5000.0");
    CKANDRIXDlg& window = OpenOutputPage(sources);
    window.Widget()->show();
    window.Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
    window.SetFocusTo(IDC_MAIN_NEXT);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));

    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);
    // Greyed during the check, Next has the focus again, not About.
    EXPECT_EQ(QApplication::focusWidget(), window.Control(IDC_MAIN_NEXT));
    EXPECT_EQ(seam_.BoxTexts(), std::vector<std::string>{
                                    "The videos last 4 h 10 min. A 4.7 GB DVD holds about 4 h 5 min at acceptable "
                                    "quality. Remove some files, or split them across two discs."});
    EXPECT_FALSE(window.ConvertPage()->IsConverting());
    EXPECT_TRUE(MpegFilesInFolder().empty());
    window_->DestroyWindow();
    window_.reset();
}

TEST_F(WizardDiscFitTest, ThreeHoursAreConvertedAtTheRateThatFitsAndTheLogSaysSo)
{
    const std::vector<std::string> sources = {Clip("a.mkv"), Clip("b.mkv"), Clip("c.mkv")};
    std::vector<std::string> outputs;
    {
        StandInFfprobe probe(folder_, "echo 3600.0");
        CKANDRIXDlg& window = OpenOutputPage(sources);
        window.OnNext();
        ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kBurnPage; }, 180000))
            << "page " << window.CurrentPageIndex();
        EXPECT_TRUE(seam_.BoxTexts().empty());
        const CDialog* convert = window.Page(CKANDRIXDlg::kConvertPage);
        ASSERT_GE(convert->ListGetCount(IDC_CONV_LOG), 1);
        const std::string first = convert->ListGetText(IDC_CONV_LOG, 0);
        // After the entry's time.
        EXPECT_EQ(first.substr(9), "Estimated disc use: 4.47 GB of 4.70 GB (video at 2,800 kbit/s)");
        outputs = Settings().convertedFiles;
    }
    ASSERT_EQ(outputs.size(), 3u);
    double bits = 0;
    double seconds = 0;
    std::string rates;
    for (const std::string& output : outputs) {
        nlohmann::json report;
        std::string log;
        ASSERT_TRUE(ProbeMedia(output, &report, &log)) << log;
        const double duration = std::stod(TextOf(report["format"], "duration"));
        const double payload = VideoPayloadBytes(output) * 8.0;
        bits += payload;
        seconds += duration;
        rates += " " + std::to_string(static_cast<int>(payload / duration / 1000.0));
    }
    // The disc's margin is 2%: a mean rate well over the chosen one would
    // overflow it, and one far under it means the rate was not passed on
    // (the standard rate would spend about 6,000 kbit/s on this picture).
    // These clips came out at 2,900 kbit/s, the buffer's fill included.
    const double kbps = bits / seconds / 1000.0;
    EXPECT_GT(kbps, 2800 * 0.75) << "kbit/s per file:" << rates;
    EXPECT_LT(kbps, 2800 * 1.08) << "kbit/s per file:" << rates;
}

TEST_F(WizardDiscFitTest, PrevWhileTheLengthsAreReadStopsTheProbeAndThePageStays)
{
    const std::vector<std::string> sources = {File("a.avi"), File("b.avi")};
    for (const std::string& source : sources)
        WriteFile(source, "short");
    StandInFfprobe probe(folder_, "echo $$ > \"" + File("pid") + "\"\nexec sleep 60");
    CKANDRIXDlg& window = OpenOutputPage(sources);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadText(File("pid")).find('\n') != std::string::npos; }, 30000));
    const int pid = std::stoi(ReadText(File("pid")));
    ASSERT_TRUE(window.OutputPage()->IsCheckingFit());
    ASSERT_TRUE(window.IsDlgItemEnabled(IDC_MAIN_PREV));
    EXPECT_FALSE(window.OutputPage()->IsDlgItemEnabled(IDC_OUT_BURNER));

    qobject_cast<QPushButton*>(window.Control(IDC_MAIN_PREV))->click();
    EXPECT_FALSE(window.OutputPage()->IsCheckingFit());
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);
    EXPECT_TRUE(window.IsDlgItemEnabled(IDC_MAIN_NEXT));
    EXPECT_TRUE(window.OutputPage()->IsDlgItemEnabled(IDC_OUT_BURNER));
    // The stand-in ends well before its minute is up.
    EXPECT_TRUE(ProcessEventsUntil([&] { return ::kill(pid, 0) != 0; }, 20000)) << "the probe still runs";
    EXPECT_TRUE(seam_.BoxTexts().empty());
    EXPECT_FALSE(window.ConvertPage()->IsConverting());
}

TEST_F(WizardDiscFitTest, ClosingTheWindowWhileTheLengthsAreReadStopsTheProbe)
{
    const std::vector<std::string> sources = {File("a.avi"), File("b.avi")};
    for (const std::string& source : sources)
        WriteFile(source, "short");
    StandInFfprobe probe(folder_, "echo $$ > \"" + File("pid") + "\"\nexec sleep 60");
    CKANDRIXDlg& window = OpenOutputPage(sources);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadText(File("pid")).find('\n') != std::string::npos; }, 30000));
    const int pid = std::stoi(ReadText(File("pid")));

    window_->DestroyWindow();
    window_.reset();
    EXPECT_NE(::kill(pid, 0), 0) << "the probe still runs";
    EXPECT_TRUE(seam_.BoxTexts().empty());
}
