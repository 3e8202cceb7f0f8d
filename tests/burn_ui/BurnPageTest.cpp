// The burn page driven offscreen: its own rules over a scripted recorder, and
// the whole wizard through both burning tasks with the real tools and the
// image-file recorder.

#include "burn_ui/BurnPageFixture.h"

#include "shell/CSummaryPage.h"
#include "shell/CTaskPage.h"
#include "burn/page/CBurnPage.h"
#include "burn/DeviceList.h"
#include "convert/page/CFileListPage.h"
#include "media/MediaKit.h"
#include "platform/Job.h"
#include "res/resource.h"
#include "settings/page/COutputPage.h"

#include <QAbstractButton>
#include <QTimer>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

namespace {

// The burn log's texts without their time stamps ("hh:mm:ss ").
Strings BurnLogTexts(const CBurnPage& page)
{
    Strings texts;
    for (int i = 0; i < page.ListGetCount(IDC_BURN_LOG); ++i)
        texts.push_back(page.ListGetText(IDC_BURN_LOG, i).substr(9));
    return texts;
}

bool Contains(const Strings& texts, const Strings& run)
{
    return std::search(texts.begin(), texts.end(), run.begin(), run.end()) != texts.end();
}

} // namespace

TEST(BurnPageRules, ElapsedTimeText)
{
    EXPECT_EQ(CBurnPage::ElapsedText(std::chrono::seconds(3725)), "Elapsed time: 01:02:05");
    EXPECT_EQ(CBurnPage::ElapsedText(std::chrono::seconds(0)), "Elapsed time: 00:00:00");
}

TEST_F(BurnPageTest, NothingToBurnOrNoRecorderStartsNothing)
{
    CKANDRIXDlg& window = OpenWindow();
    CBurnPage& page = *window.BurnPage();
    page.OnStartBurn();
    EXPECT_EQ(seam_.BoxTexts(), Strings{"No video file input! "});
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_BURN_START));
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_BURN_CLOSE));

    page.ListAddString(IDC_BURN_LIST, File("a.mpg"));
    Settings().burnerIndex = -1;
    page.OnStartBurn();
    EXPECT_EQ(seam_.BoxTexts().back(), "Please select device for burning DVD!");
    EXPECT_FALSE(page.IsBurning());
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_BURN_START));
}

TEST_F(BurnPageTest, ClosingTheWindowDuringABurnAsksFirst)
{
    ScriptedRecorder& recorder = UseBlockingRecorder();
    const std::string mine = out_ + "mine.mpg";
    std::string log;
    ASSERT_TRUE(MakeMpeg(mine, "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3"}, &log)) << log;
    const std::string before = ReadText(mine);

    window_ = std::make_unique<CKANDRIXDlg>(*run_, folder_);
    AfxSetMainWnd(window_.get());
    CKANDRIXDlg& window = *window_;
    int stage = 0;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        auto close = [&] { qobject_cast<QAbstractButton*>(window.Control(IDC_MAIN_CLOSE))->click(); };
        if (stage == 0) {
            ++stage;
            Settings().allInOne = 1;
            window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
            window.OnNext();
            window.FileListPage()->AddFile(mine);
            window.OnNext();
            ChooseImageFileRecorder(window);
            window.OnNext();
        } else if (stage == 1 && recorder.WriteIsBlocked()) {
            ++stage;
            seam_.AnswerBox(IDNO);
            close();
            EXPECT_TRUE(window.BurnPage()->IsBurning());
            seam_.AnswerBox(IDYES);
            close();
            timer->deleteLater();
        }
    });
    timer->start(20);
    window.DoModal();
    EXPECT_GE(recorder.CancelCount(), 1);
    const std::string question =
        "A disc is being written. If you quit now the disc will be unusable. Stop the burn and quit?";
    EXPECT_EQ(seam_.BoxTexts(), (Strings{question, question}));
    EXPECT_EQ(ReadText(mine), before);
}

// Why a burn failed reaches the status line, the end of the burn log and,
// after a burn, the box in place of "Burn complete!".
struct Failure {
    const char* name;
    const char* arScript;
    std::function<void(ScriptedRecorder&)> script;
    std::string status;
};

class BurnFailureTest : public BurnPageTest, public testing::WithParamInterface<Failure> {};

TEST_P(BurnFailureTest, TheReasonReachesTheStatusLineAndTheLog)
{
    const Failure& failure = GetParam();
    failure.script(UseScriptedRecorder(failure.arScript));
    // A file the MPEG check on Next accepts; the scripted tools never read it.
    std::string log;
    ASSERT_TRUE(MakeMpeg(File("mine.mpg"), "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3"}, &log)) << log;
    CKANDRIXDlg& window = ToBurnPage({File("mine.mpg")}, 1);
    ASSERT_TRUE(WaitForBurnEnd(window));
    const CBurnPage& page = *window.BurnPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), failure.status);
    EXPECT_EQ(BurnLogTexts(page).back(), failure.status);
    for (const std::string& text : seam_.BoxTexts())
        EXPECT_NE(text, "Burn complete!");
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, BurnFailureTest,
    testing::Values(
        Failure{"DriveWrite", kTreeMaker,
                [](ScriptedRecorder& r) {
                    ON_CALL(r, TrackAtOnceFromTree)
                        .WillByDefault(FailSaying(9, "writing the disc failed (libburn: SCSI error on write)"));
                },
                "Burn failed: writing the disc failed (libburn: SCSI error on write)"},
        Failure{"BatchExitStatus", "#!/bin/sh\nexit 3\n", [](ScriptedRecorder&) {},
                "Authoring failed: the batch ended with exit status 3"},
        Failure{"ArExeError", "#!/bin/sh\necho 'ERR: cannot read the XML' >&2\nexit 1\n", [](ScriptedRecorder&) {},
                "Authoring failed: ERR: cannot read the XML"}),
    [](const testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

// The image-file recorder on a full file system: the system's words reach
// the user. A small tmpfs needs root, or a private namespace (unshare -rm).
TEST_F(BurnPageTest, AFullFileSystemIsNamedOnThePage)
{
    if (::mount("tmpfs", out_.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs on " << out_ << " (" << std::strerror(errno)
                     << "): run as root or under 'unshare -rm'";
    std::string log;
    ASSERT_TRUE(MakeClip(File("clip.mkv"), 2, true, &log)) << log;
    const ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-i", File("clip.mkv"),
                                           "-target", "pal-dvd", File("mine.mpg")});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Settings().discVolumeLabel = "My DVD";
    CKANDRIXDlg& window = ToBurnPage({File("mine.mpg")}, 1);
    const bool ended = WaitForBurnEnd(window);
    const Strings left = FolderNames(out_);
    ::umount2(out_.c_str(), MNT_DETACH);
    ASSERT_TRUE(ended);
    const std::string status = "Burn failed: cannot write " + out_ + "My DVD.iso: No space left on device";
    const CBurnPage& page = *window.BurnPage();
    EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), status);
    EXPECT_EQ(BurnLogTexts(page).back(), status);
    EXPECT_EQ(seam_.BoxTexts().back(), status);
    EXPECT_EQ(left, Strings{}) << "no part of the image stays";
}

// The whole wizard, keyboard-free but otherwise as a user runs it: real
// encoder, real authoring, the image-file recorder of the real library.
TEST_F(BurnPageTest, BothBurningTasksEndInAnImageThatPlayersRead)
{
    const std::string clips = folder_ + "clips/";
    std::filesystem::create_directory(clips);
    std::string log;
    ASSERT_TRUE(MakeClip(clips + "one.mkv", 2, true, &log)) << log;
    ASSERT_TRUE(MakeClip(clips + "two.mkv", 2, true, &log)) << log;
    const std::string label = "Summer Holiday 2026";
    const std::string image = out_ + label + ".iso";

    // Task 0: convert, author, burn.
    Settings().allInOne = 1;
    Settings().tvSystem = 0;
    Settings().discVolumeLabel = label;
    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2DVD);
    window.OnNext();
    window.FileListPage()->AddFile(clips + "one.mkv");
    window.FileListPage()->AddFile(clips + "two.mkv");
    window.OnNext();
    ChooseImageFileRecorder(window);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kBurnPage; }, 120000));
    CBurnPage& page = *window.BurnPage();
    ASSERT_TRUE(WaitForBurnEnd(window));
    const Strings texts = BurnLogTexts(page);
    EXPECT_TRUE(Contains(texts, {"Closing session...", "Closing session success!", "Burning Complete!"}))
        << testing::PrintToString(texts);
    EXPECT_EQ(texts.back(), "The DVD image is " + image);
    EXPECT_EQ(page.GetDlgItemText(IDC_BURN_STATUS), "Complete!");
    EXPECT_EQ(seam_.BoxTexts().back(), "Burn complete!");
    ProgramResult listed = RunProgram({"lsdvd", image});
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    EXPECT_NE(listed.output.find("Title: 01, Length: 00:00:04"), std::string::npos) << listed.output;
    EXPECT_EQ(listed.output.find("Title: 02"), std::string::npos) << listed.output;

    const Strings intermediates = Settings().convertedFiles;
    ASSERT_EQ(intermediates.size(), 2u);
    page.OnClose();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kSummaryPage; }));
    run_->Jobs().WaitForAll(std::chrono::seconds(30));
    for (const std::string& file : intermediates)
        EXPECT_FALSE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(std::filesystem::exists(image));
    EXPECT_EQ(window.SummaryPage()->GetDlgItemText(IDC_SUM_BURNER), "[ISO]Image File-KANDRIX)");

    // Save log holds both sections.
    seam_.AnswerSave(File("saved.txt"));
    window.OnSaveLog();
    const std::string saved = ReadText(File("saved.txt"));
    EXPECT_NE(saved.find("Burning Complete!"), std::string::npos);

    // Task 1: the user's own MPEG files, untouched after Close.
    const Strings mine = {clips + "mine one.mpg", clips + "mine $two.mpg"};
    for (const std::string& file : mine) {
        ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", clips + "one.mkv",
                                         "-target", "pal-dvd", file});
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    const std::string before = ReadText(mine[0]) + ReadText(mine[1]);
    std::filesystem::remove(image);
    window.OnRepeat();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    for (const std::string& file : mine)
        window.FileListPage()->AddFile(file);
    window.OnNext();
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kBurnPage; }, 30000));
    ASSERT_TRUE(WaitForBurnEnd(window));
    listed = RunProgram({"lsdvd", image});
    EXPECT_NE(listed.output.find("Title: 01, Length: 00:00:04"), std::string::npos) << listed.output;
    page.OnClose();
    EXPECT_EQ(ReadText(mine[0]) + ReadText(mine[1]), before);
    for (const auto& entry : std::filesystem::directory_iterator(out_))
        EXPECT_EQ(entry.path().extension() == ".mpg" && entry.path().filename().string().rfind("vre", 0) == 0,
                  false)
            << entry.path();
}
