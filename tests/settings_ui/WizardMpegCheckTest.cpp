// Next on the output page of the burning task reads the MPEG files with the
// real ffprobe and asks before files a DVD player may refuse are burnt.
#include "app_ui/WizardFixture.h"

#include "convert/page/CFileListPage.h"
#include "media/MediaKit.h"
#include "shell/CTaskPage.h"

using WizardMpegCheckTest = WizardTest;

TEST_F(WizardMpegCheckTest, ARefusedFileIsNamedBeforeAnythingIsWrittenAndNoKeepsThePage)
{
    const std::string good = File("pal.mpg");
    const std::string odd = File("holiday.mpg");
    std::string log;
    ASSERT_TRUE(MakeMpeg(good, "720x576", "25", {"-target", "pal-dvd", "-aspect", "4:3"}, &log)) << log;
    ASSERT_TRUE(MakeMpeg(odd, "640x480", "25", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}, &log)) << log;
    const std::vector<std::uint8_t> goodBytes = ReadBytes(good);
    const std::vector<std::uint8_t> oddBytes = ReadBytes(odd);

    Settings().useTempFolder = 0;
    Settings().outputFolder = folder_;
    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    window.FileListPage()->AddFile(good);
    window.FileListPage()->AddFile(odd);
    window.OnNext();
    ChooseImageFileRecorder(window);
    window.OutputPage()->CheckDlgButton(IDC_OUT_ALL_IN_ONE, 0);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));

    const std::vector<ScriptedSeam::Box> boxes = seam_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("holiday.mpg: 640×480 is not a DVD picture size", 0), 0u) << boxes[0].text;
    EXPECT_EQ(boxes[0].type & 0x0F, static_cast<unsigned>(MB_YESNO));
    // The scripted answer is No.
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kOutputPage);
    EXPECT_TRUE(window.IsDlgItemEnabled(IDC_MAIN_NEXT));
    EXPECT_EQ(ReadBytes(good), goodBytes);
    EXPECT_EQ(ReadBytes(odd), oddBytes);
    EXPECT_EQ(FolderNames(folder_), (std::vector<std::string>{"holiday.mpg", "pal.mpg"}));

    seam_.AnswerBox(IDYES);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));
    EXPECT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kBurnPage);
}
