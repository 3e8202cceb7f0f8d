#include "WizardFixture.h"

#include "shell/CSummaryPage.h"
#include "shell/CTaskPage.h"
#include "burn/page/CBurnPage.h"
#include "core/OptionRecord.h"
#include "core/StateArchive.h"
#include "convert/page/CFileListPage.h"
#include "platform/Messages.h"
#include "res/resource.h"

#include "platform/qt/DialogWindow.h"

#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

struct Buttons {
    bool saveLog, prev, next, repeat;
    bool operator==(const Buttons&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Buttons& b)
{
    return out << "{save " << b.saveLog << ", prev " << b.prev << ", next " << b.next << ", repeat " << b.repeat << "}";
}

Buttons ButtonsOf(const CKANDRIXDlg& window)
{
    return {window.IsDlgItemEnabled(IDC_MAIN_SAVE_LOG), window.IsDlgItemEnabled(IDC_MAIN_PREV),
            window.IsDlgItemEnabled(IDC_MAIN_NEXT), window.IsDlgItemEnabled(IDC_MAIN_REPEAT)};
}

// The page at index is the only one not hidden, and lies in the page area.
void ExpectOnlyPageShown(const CKANDRIXDlg& window, int index)
{
    ASSERT_EQ(window.CurrentPageIndex(), index);
    for (int i = 0; i < window.PageCount(); ++i)
        EXPECT_EQ(window.Page(i)->Widget()->isHidden(), i != index) << "page " << i;
}

const std::vector<std::uint8_t> kDefaultFile = {
    0x04, 0x00, 0x00, 0x00, 0x03, 0x43, 0x3A, 0x5C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x4D, 0x79, 0x44, 0x56, 0x44, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

} // namespace

TEST_F(WizardTest, PagesAreLaidIntoTheFrameOnce)
{
    CKANDRIXDlg& window = OpenWindow();
    EXPECT_EQ(window.GetWindowText(), "KANDRIX");
    ASSERT_EQ(window.PageCount(), 6);
    const CDialog::Rect frame = window.GetControlRect(IDC_MAIN_PAGE_FRAME);
    const CDialog::Rect page = window.PageRect();
    EXPECT_EQ(page.left, frame.left + 3);
    EXPECT_EQ(page.top, frame.top + 7);
    EXPECT_EQ(page.right, frame.right - 3);
    EXPECT_EQ(page.bottom, frame.bottom - 3);
    for (int i = 0; i < window.PageCount(); ++i) {
        const QRect placed = window.Page(i)->Widget()->geometry();
        EXPECT_EQ(placed, QRect(page.left, page.top, page.right - page.left, page.bottom - page.top)) << i;
        EXPECT_EQ(window.Page(i)->Widget()->parentWidget(), window.Widget()) << i;
    }
    ExpectOnlyPageShown(window, CKANDRIXDlg::kTaskPage);
}

TEST_F(WizardTest, ConvertOnlyRunFollowsTheFlowTable)
{
    CKANDRIXDlg& window = OpenWindow();
    EXPECT_EQ(ButtonsOf(window), (Buttons{false, false, true, false}));

    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2MPG);
    window.OnNext();
    ExpectOnlyPageShown(window, CKANDRIXDlg::kFileListPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{false, true, true, false}));

    window.OnNext();
    EXPECT_EQ(seam_.BoxTexts(), std::vector<std::string>{"Please add the input files!"});
    EXPECT_TRUE(seam_.Boxes()[0].caption.empty());
    ExpectOnlyPageShown(window, CKANDRIXDlg::kFileListPage);

    window.FileListPage()->AddFile(folder_ + "missing.avi");
    window.OnNext();
    ExpectOnlyPageShown(window, CKANDRIXDlg::kOutputPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{false, true, true, false}));

    window.OnPrev();
    ExpectOnlyPageShown(window, CKANDRIXDlg::kFileListPage);
    window.OnNext();

    // The conversion of a missing file fails at once; its completion leads
    // to the summary.
    window.OnNext();
    ASSERT_EQ(window.CurrentPageIndex(), CKANDRIXDlg::kConvertPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{false, false, false, false}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kSummaryPage; }));
    ExpectOnlyPageShown(window, CKANDRIXDlg::kSummaryPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{true, true, false, true}));

    window.OnPrev();
    ExpectOnlyPageShown(window, CKANDRIXDlg::kOutputPage);
    window.SendMessage(WM_BURN_CLOSED);
    ExpectOnlyPageShown(window, CKANDRIXDlg::kSummaryPage);
    window.OnRepeat();
    ExpectOnlyPageShown(window, CKANDRIXDlg::kTaskPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{false, false, true, false}));
}

TEST_F(WizardTest, AfterAConversionTheFocusIsOnRepeatSoEnterDoesNotOpenAbout)
{
    CKANDRIXDlg& window = OpenWindow();
    window.Widget()->show();
    window.Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2MPG);
    window.OnNext();
    window.FileListPage()->AddFile(folder_ + "missing.avi");
    window.OnNext();
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.CurrentPageIndex() == CKANDRIXDlg::kSummaryPage; }));
    // The completion sets the buttons again after the page change; a button
    // greyed even for a moment would have passed the focus on to About.
    EXPECT_EQ(QApplication::focusWidget(), window.Control(IDC_MAIN_REPEAT));
}

TEST_F(WizardTest, BurningExistingFilesSkipsTheConversion)
{
    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    window.FileListPage()->AddFile("/videos/title.vob");
    window.OnNext();
    ChooseImageFileRecorder(window);
    // The file that is not there is named, and burnt anyway.
    seam_.AnswerBox(IDYES);
    window.OnNext();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !window.OutputPage()->IsCheckingFit(); }, 30000));
    ASSERT_EQ(seam_.BoxTexts().size(), 1u);
    ExpectOnlyPageShown(window, CKANDRIXDlg::kBurnPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{true, false, false, false}));
    EXPECT_EQ(window.BurnPage()->ListGetText(IDC_BURN_LIST, 0), "/videos/title.vob");

    // A conversion completion for this task is an error and moves nothing.
    window.SendMessage(WM_TRANS_COMPLETE);
    EXPECT_EQ(seam_.BoxTexts().back(), "error, transComplete CT_MPG2DVD");
    ExpectOnlyPageShown(window, CKANDRIXDlg::kBurnPage);
    EXPECT_EQ(ButtonsOf(window), (Buttons{true, false, false, false}));

    window.SendMessage(WM_BURN_CLOSED);
    ExpectOnlyPageShown(window, CKANDRIXDlg::kSummaryPage);
    EXPECT_EQ(window.SummaryPage()->GetDlgItemText(IDC_SUM_TOTAL), "1");
    EXPECT_EQ(window.SummaryPage()->GetDlgItemText(IDC_SUM_SUCCEEDED), "1");
}

TEST_F(WizardTest, DvdConversionCompletionGoesByItsSuccesses)
{
    CKANDRIXDlg& window = OpenWindow();
    Settings().task = CT_VIDEO2DVD;
    Settings().allInOne = 0;
    Settings().succeededCount = 0;
    window.SendMessage(WM_TRANS_COMPLETE);
    ExpectOnlyPageShown(window, CKANDRIXDlg::kSummaryPage);

    Settings().succeededCount = 1;
    Settings().convertedFiles = {"/out/vrel_1.mpg"};
    window.SendMessage(WM_TRANS_COMPLETE);
    ExpectOnlyPageShown(window, CKANDRIXDlg::kBurnPage);
    EXPECT_EQ(window.BurnPage()->ListGetText(IDC_BURN_LIST, 0), "/out/vrel_1.mpg");
    EXPECT_TRUE(seam_.Boxes().empty());
}

TEST_F(WizardTest, SaveLogWritesBothSectionsWithCrLf)
{
    CKANDRIXDlg& window = OpenWindow();
    CDialog* convert = window.Page(CKANDRIXDlg::kConvertPage);
    convert->ListAddString(IDC_CONV_LOG, "09:05:03 Input #0, avi");
    convert->ListAddString(IDC_CONV_LOG, "09:05:04 frame= 25");

    seam_.AnswerSave(File("saved.txt"));
    window.OnSaveLog();
    ASSERT_EQ(seam_.Dialogs().size(), 1u);
    const auto asked = seam_.Dialogs()[0];
    EXPECT_EQ(asked.kind, "save");
    EXPECT_EQ(asked.defaultName, "R3Xlog.txt");
    EXPECT_EQ(asked.defaultExtension, "txt");
    EXPECT_EQ(asked.filter, "Text file(*.txt)|*.txt|All Files (*.*)|*.*|");
    // The trace's section follows, with whatever the recorder search traced.
    EXPECT_THAT(ReadText(File("saved.txt")),
                testing::AllOf(testing::StartsWith("Converting log start---------\r\n\r\n"
                                                   "09:05:03 Input #0, avi\r\n"
                                                   "09:05:04 frame= 25\r\n"
                                                   "---------Converting log end\r\n\r\n"
                                                   "Burning log start---------\r\n\r\n"
                                                   "---------Burning log end\r\n"
                                                   "\r\nTrace log start---------\r\n\r\n"),
                               testing::EndsWith("---------Trace log end\r\n")));
    EXPECT_EQ(convert->ListGetCount(IDC_CONV_LOG), 2);

    seam_.AnswerSave(std::nullopt);
    window.OnSaveLog();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(WizardTest, StoredTaskIsPreselectedAndTheFileListKeepsIt)
{
    ConversionSettings stored;
    stored.SetDefaults();
    stored.task = CT_VIDEO2MPG;
    StateArchive archive;
    StoreOptionRecord(archive, stored);
    ASSERT_TRUE(WriteStateFile(File("Option.dat"), archive.Bytes()));

    CKANDRIXDlg& window = OpenWindow();
    EXPECT_EQ(window.TaskPage()->GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), IDC_TASK_VIDEO2MPG);
    EXPECT_EQ(Settings().previousTask, CT_VIDEO2MPG);
}

TEST_F(WizardTest, EscapeOnAFreshStartLeavesTheDefaultSettingsFile)
{
    ASSERT_FALSE(std::filesystem::exists(File("Option.dat")));
    window_ = std::make_unique<CKANDRIXDlg>(*run_, folder_);
    AfxSetMainWnd(window_.get());
    bool pressed = false;
    QTimer::singleShot(0, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(window_->Widget(), &escape);
        pressed = true;
    });
    window_->DoModal();
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(window_->HasWindow());
    EXPECT_EQ(ReadBytes(File("Option.dat")), kDefaultFile);
    EXPECT_TRUE(seam_.Boxes().empty());
}

TEST_F(WizardTest, ClosingWritesTheChoicesOfTheRun)
{
    CKANDRIXDlg& window = OpenWindow();
    window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    window.OnNext();
    window.DestroyWindow();
    ConversionSettings read;
    read.SetDefaults();
    ASSERT_TRUE(ReadOptionFile(File("Option.dat"), read));
    EXPECT_EQ(read.task, CT_MPG2DVD);
}

// Closes every modal window as soon as it shows, noting its caption, its
// version line, and the text and target (the tooltip) of its two links.
class ModalCloser {
public:
    ModalCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box)
                return;
            std::string line = box->windowTitle().toStdString();
            for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_WEB, IDC_ABOUT_SUPPORT}) {
                auto* label = box->findChild<QLabel*>(QStringLiteral("control%1").arg(id));
                line += "|" + (label ? label->text().toStdString() : std::string());
                if (id != IDC_ABOUT_VERSION && label)
                    line += "|" + label->toolTip().toStdString();
            }
            seen.push_back(line);
            box->close();
        });
        timer_.start(10);
    }
    std::vector<std::string> seen;

private:
    QTimer timer_;
};

TEST_F(WizardTest, AboutAndHelpCommandsOpenTheirWindows)
{
    CKANDRIXDlg& window = OpenWindow();
    ModalCloser closer;
    qobject_cast<QPushButton*>(window.Control(IDC_MAIN_ABOUT))->click();

    auto* frame = qobject_cast<DialogWindow*>(window.Widget());
    ASSERT_NE(frame, nullptr);
    std::unique_ptr<QMenu> menu = frame->CreateSystemMenu();
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text().toStdString(), "&About KANDRIX...");
    actions.back()->trigger();

    const std::string about = "About KANDRIX|KANDRIX Version: 3.2"
                              "|https://kandrix.example.org/|https://kandrix.example.org/"
                              "|support: support@kandrix.example.org|mailto:support@kandrix.example.org";
    EXPECT_EQ(closer.seen, (std::vector<std::string>{about, about}));

    qobject_cast<QPushButton*>(window.Control(IDC_MAIN_HELP))->click();
    EXPECT_EQ(seam_.ShellTargets(), std::vector<std::string>{File("help.html")});
    EXPECT_TRUE(seam_.Boxes().empty());

    // Nothing could open the page: the user is told so.
    seam_.AnswerShell(31);
    qobject_cast<QPushButton*>(window.Control(IDC_MAIN_HELP))->click();
    EXPECT_EQ(seam_.BoxTexts(), std::vector<std::string>{"Unable to open hyperlink:\n\nThere is no application "
                                                          "associated\nwith the given filename extension."});
}
