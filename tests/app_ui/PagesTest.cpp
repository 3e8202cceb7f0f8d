#include "WizardFixture.h"

#include "shell/CSummaryPage.h"
#include "shell/CTaskPage.h"
#include "burn/CDevice.h"
#include "burn/DeviceList.h"
#include "convert/page/CFileListPage.h"
#include "res/resource.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QTest>
#include <QLabel>
#include <QWidget>

#include <filesystem>

#include <thread>

namespace {

std::vector<std::string> Rows(const CDialog& page, int id)
{
    std::vector<std::string> rows;
    for (int i = 0; i < page.ListGetCount(id); ++i)
        rows.push_back(page.ListGetText(id, i));
    return rows;
}

using Strings = std::vector<std::string>;

} // namespace

TEST_F(WizardTest, TaskPageRecordsThePreviousTask)
{
    Settings().task = CT_MPG2DVD;
    CKANDRIXDlg& window = OpenWindow();
    CTaskPage& page = *window.TaskPage();
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), IDC_TASK_MPG2DVD);
    page.LeavePage();
    EXPECT_EQ(Settings().task, CT_MPG2DVD);
    EXPECT_EQ(Settings().previousTask, CT_MPG2DVD);

    Settings().task = CT_VIDEO2DVD;
    page.EnterPage();
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), IDC_TASK_VIDEO2DVD);
    page.CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2MPG);
    page.LeavePage();
    EXPECT_EQ(Settings().task, CT_VIDEO2MPG);
    EXPECT_EQ(Settings().previousTask, CT_VIDEO2DVD);
    EXPECT_TRUE(page.Widget()->isHidden());
}

TEST_F(WizardTest, FileListKeepsNamesAndPathsInStep)
{
    CKANDRIXDlg& window = OpenWindow();
    CFileListPage& page = *window.FileListPage();
    seam_.AnswerOpen(Strings{"/v/a.avi", "/v/b.mkv", "/v/c d.mov", "/v/a.avi", "/v/e.wmv"});
    page.OnAddFiles();
    EXPECT_EQ(Rows(page, IDC_FILES_NAMES), (Strings{"a.avi", "b.mkv", "c d.mov", "a.avi", "e.wmv"}));
    EXPECT_EQ(Rows(page, IDC_FILES_PATHS), (Strings{"/v/a.avi", "/v/b.mkv", "/v/c d.mov", "/v/a.avi", "/v/e.wmv"}));

    page.ListSetCurSel(IDC_FILES_NAMES, 2);
    page.OnDelete();
    EXPECT_EQ(Rows(page, IDC_FILES_NAMES), (Strings{"a.avi", "b.mkv", "a.avi", "e.wmv"}));
    EXPECT_EQ(Rows(page, IDC_FILES_PATHS), (Strings{"/v/a.avi", "/v/b.mkv", "/v/a.avi", "/v/e.wmv"}));
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_NAMES), -1);
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_PATHS), -1);
    page.OnDelete();
    EXPECT_EQ(page.FileCount(), 4);

    seam_.AnswerOpen(std::nullopt);
    page.OnAddFiles();
    EXPECT_EQ(page.FileCount(), 4);
    page.OnClear();
    EXPECT_EQ(page.FileCount(), 0);
    EXPECT_EQ(page.ListGetCount(IDC_FILES_NAMES), 0);
}

TEST_F(WizardTest, LargeSelectionAddsEveryFile)
{
    CKANDRIXDlg& window = OpenWindow();
    Strings many;
    for (int i = 0; i < 400; ++i)
        many.push_back("/media/a rather long folder name for holiday videos/clip number " + std::to_string(i) + ".avi");
    seam_.AnswerOpen(many);
    window.FileListPage()->OnAddFiles();
    EXPECT_EQ(window.FileListPage()->FileCount(), 400);
    EXPECT_EQ(window.FileListPage()->ListGetText(IDC_FILES_NAMES, 399), "clip number 399.avi");
}

TEST_F(WizardTest, FileListBelongsToItsTask)
{
    CKANDRIXDlg& window = OpenWindow();
    window.OnNext();
    CFileListPage& page = *window.FileListPage();
    page.AddFile("/v/a.avi");
    window.OnPrev();
    window.OnNext();
    EXPECT_EQ(page.FileCount(), 1);

    window.OnPrev();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    EXPECT_EQ(page.FileCount(), 0);
    EXPECT_EQ(Settings().previousTask, CT_MPG2DVD);
}

TEST_F(WizardTest, OpenDialogFiltersFollowTheTask)
{
    CKANDRIXDlg& window = OpenWindow();
    for (int task : {CT_VIDEO2DVD, CT_MPG2DVD, CT_VIDEO2MPG}) {
        Settings().task = task;
        window.FileListPage()->OnAddFiles();
    }
    const auto dialogs = seam_.Dialogs();
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[1].filter,
              "DVD Packetized MPEG (*.vob)|*.vob|DVD compatible MPEG (*.mpg; *.mpeg)|*.mpg;*.mpeg|");
    EXPECT_EQ(dialogs[0].filter, dialogs[2].filter);
    EXPECT_EQ(dialogs[0].filter.rfind("All supported files|*.avi;*.mkv;*.3gp;*.m4a;*.mov;*.mp4;*.mpeg;*.mpg;"
                                      "*.wmv;*.divx;*.xvid;*.asf;*.swf|Audio Video Interleave files (*.avi)|",
                                      0),
              0u);
    EXPECT_NE(dialogs[0].filter.find("|All Files (*.*)|*.*|"), std::string::npos);
}

TEST_F(WizardTest, TheRecordNamesTheFileListOnlyWhileItExists)
{
    CKANDRIXDlg& window = OpenWindow();
    window.OnNext();
    window.FileListPage()->AddFile("/v/one.avi");
    window.FileListPage()->AddFile("/v/two.avi");
    window.OnNext();
    ASSERT_NE(Settings().sourcePaths, nullptr);
    ASSERT_NE(Settings().sourceNames, nullptr);
    Strings seen;
    for (int i = 0; i < Settings().sourcePaths->GetCount(); ++i)
        seen.push_back(Settings().sourcePaths->GetText(i) + "|" + Settings().sourceNames->GetText(i));
    EXPECT_EQ(seen, (Strings{"/v/one.avi|one.avi", "/v/two.avi|two.avi"}));

    // The record outlives the window, but not the lists it names.
    window_->DestroyWindow();
    window_.reset();
    EXPECT_EQ(Settings().sourcePaths, nullptr);
    EXPECT_EQ(Settings().sourceNames, nullptr);
}

TEST_F(WizardTest, SummaryCountsTheRunAndLinksTheOutputFolder)
{
    CKANDRIXDlg& window = OpenWindow();
    CFileListPage& files = *window.FileListPage();
    for (const char* path : {"/videos/a.avi", "/videos/b.avi", "/videos/c.avi"})
        files.AddFile(path);
    files.LeavePage();
    ConversionSettings& settings = Settings();
    settings.task = CT_VIDEO2MPG;
    settings.succeededCount = 2;
    settings.outputFolder = "/out/";
    CSummaryPage& summary = *window.SummaryPage();
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_TOTAL), "3");
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_SUCCEEDED), "2");
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_FOLDER), "/out/");
    EXPECT_EQ(summary.FolderLink().GetLinkTarget(), "/out/");
    EXPECT_EQ(summary.FolderLink().Label()->toolTip(), "/out/");
    EXPECT_FALSE(summary.IsDlgItemVisible(IDC_SUM_BURNER));
    EXPECT_FALSE(summary.IsDlgItemVisible(IDC_SUM_BURNER_LABEL));

    settings.task = CT_MPG2DVD;
    settings.sameAsSource = 1;
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_SUCCEEDED), "3");
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_FOLDER), "/videos");
    EXPECT_EQ(summary.FolderLink().GetLinkTarget(), "/videos");
    EXPECT_TRUE(summary.IsDlgItemVisible(IDC_SUM_BURNER_LABEL));

    settings.task = CT_VIDEO2DVD;
    settings.succeededCount = 1;
    settings.sameAsSource = 0;
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_SUCCEEDED), "1");
    EXPECT_EQ(summary.FolderLink().GetLinkTarget(), "/out/");
    EXPECT_TRUE(summary.IsDlgItemVisible(IDC_SUM_BURNER));
}

TEST_F(WizardTest, SummaryLinksTheRecorderToTheFolderOfItsImage)
{
    CKANDRIXDlg& window = OpenWindow();
    // The search would replace the list this test sets up.
    WaitForRecorderSearch(window);
    CSummaryPage& summary = *window.SummaryPage();
    Settings().task = CT_VIDEO2DVD;
    Settings().outputFolder = folder_;
    Settings().burnerIndex = -1;
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_BURNER), "-");
    // No recorder, nothing to open: "-" is no file name.
    EXPECT_EQ(summary.RecorderLink().GetLinkTarget(), "");

    // The real library lists the image-file recorder last.
    Settings().burnerIndex = run_->Recorders().Count() - 1;
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_BURNER), "[ISO]Image File-KANDRIX)");
    EXPECT_EQ(summary.RecorderLink().GetLinkTarget(), folder_);
    EXPECT_TRUE(summary.IsDlgItemVisible(IDC_SUM_BURNER));

    // A later run without a recorder keeps nothing of the one before.
    Settings().burnerIndex = -1;
    summary.EnterPage();
    EXPECT_EQ(summary.GetDlgItemText(IDC_SUM_BURNER), "-");
    EXPECT_EQ(summary.RecorderLink().GetLinkTarget(), "");
}


TEST_F(WizardTest, EnterOnTheTaskPageGoesNextAndEnterInTheFileListDoesNothing)
{
    CKANDRIXDlg& window = OpenWindow();
    window.Widget()->show();
    window.Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
    // The focus starts on the task's choice, not on About.
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, window.TaskPage()->Control(IDC_TASK_VIDEO2DVD));
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kFileListPage);
    EXPECT_TRUE(seam_.Boxes().empty());
    // Not on About, which the hidden task page would hand it to.
    EXPECT_EQ(QApplication::focusWidget(), window.Control(IDC_MAIN_NEXT));

    window.FileListPage()->SetFocusTo(IDC_FILES_NAMES);
    QTest::keyClick(window.FileListPage()->Control(IDC_FILES_NAMES), Qt::Key_Return);
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kFileListPage);
    EXPECT_TRUE(seam_.Boxes().empty());
    EXPECT_TRUE(window.IsWindowVisible());
}
TEST(SummaryRecorder, TextAndTargetOfADrive)
{
    RecorderFacts facts;
    facts.driveName = "/dev/sr0";
    facts.product = "DVDRAM GH24NSD1";
    facts.vendor = "HL-DT-ST";
    EXPECT_EQ(CSummaryPage::RecorderText(facts), "[/dev/sr0]DVDRAM GH24NSD1-HL-DT-ST)");
    // A drive whose disc is not mounted opens the folder holding it.
    TempDir dev;
    facts.driveName = dev.Path("sr9");
    EXPECT_EQ(CSummaryPage::RecorderTarget(facts, false, ""), std::filesystem::path(dev.Folder()).parent_path().string());
}

