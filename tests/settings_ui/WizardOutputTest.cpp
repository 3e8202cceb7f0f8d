#include "app_ui/WizardFixture.h"

#include "shell/CTaskPage.h"
#include "core/OptionRecord.h"
#include "convert/page/CFileListPage.h"
#include "res/resource.h"
#include "settings/page/COutputPage.h"

// The real recording library: the image-file recorder is always there.
TEST_F(WizardTest, BurningExistingFilesOnTheImageFileRecorder)
{
    // Whatever the run writes goes to the test's own folder, not the system's.
    Settings().useTempFolder = 0;
    Settings().outputFolder = folder_;
    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    window.FileListPage()->AddFile("/videos/title.vob");
    window.OnNext();
    ASSERT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);

    COutputPage& page = *window.OutputPage();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page.IsFillingBurnerLists(); }, 60000));
    const int rows = page.ListGetCount(IDC_OUT_BURNER);
    ASSERT_GE(rows, 1);
    EXPECT_EQ(page.ListGetText(IDC_OUT_BURNER, rows - 1), "[ISO]Image File-KANDRIX)");

    ChooseImageFileRecorder(window);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), rows - 1);
    ASSERT_GE(page.ListGetCount(IDC_OUT_SPEED), 2);
    page.ListSetCurSel(IDC_OUT_SPEED, 1);
    page.CheckDlgButton(IDC_OUT_ALL_IN_ONE, 0);

    seam_.AnswerBox(IDYES);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !page.IsCheckingFit(); }, 30000));
    const std::vector<std::string> boxes = seam_.BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("title.vob: not a video file that can be read.\n", 0), 0u) << boxes[0];
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kBurnPage);
    EXPECT_EQ(run_->WriteSpeeds().size(), static_cast<size_t>(page.ListGetCount(IDC_OUT_SPEED)));

    window_->DestroyWindow();
    window_.reset();
    ConversionSettings saved;
    saved.SetDefaults();
    ASSERT_TRUE(ReadOptionFile(File("Option.dat"), saved));
    EXPECT_EQ(saved.burnerIndex, rows - 1);
    EXPECT_EQ(saved.speedIndex, 1);
    EXPECT_EQ(saved.task, CT_MPG2DVD);
}
