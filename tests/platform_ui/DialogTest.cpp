// CDialog's behaviour: what reaches the handlers, from the keyboard, the
// mouse, timers, posted and sent messages, and other threads.

#include "platform/Dialog.h"
#include "platform/UiThread.h"
#include "platform/qt/DialogWindow.h"
#include "res/resource.h"
#include "support/UiEvents.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

class RecordingDialog : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::pair<int, int>> commands;
    std::vector<unsigned> messages;
    std::vector<int> sysCommands;
    int timerTicks = 0;
    int destroyed = 0;
    int initialised = 0;
    bool messagesOnUiThread = true;
    std::function<void(int)> onCommand;
    // Outlives the dialog.
    int* delivered = nullptr;

protected:
    bool OnInitDialog() override
    {
        ++initialised;
        return true;
    }
    void OnCommand(int id, int code) override
    {
        commands.emplace_back(id, code);
        if (onCommand)
            onCommand(id);
        CDialog::OnCommand(id, code);
    }
    bool OnMessage(unsigned message, WPARAM, LPARAM) override
    {
        messagesOnUiThread = messagesOnUiThread && IsUiThread();
        messages.push_back(message);
        if (delivered)
            ++*delivered;
        return true;
    }
    void OnSysCommand(int command) override { sysCommands.push_back(command); }
    void OnTimer(int) override { ++timerTicks; }
    void OnDestroy() override { ++destroyed; }
};

// Runs fn once the next modal loop is running.
void WhenModal(std::function<void()> fn)
{
    QTimer::singleShot(0, qApp, std::move(fn));
}

TEST(Dialog, WorkerCallsRunOnTheUiThreadWhileTheWorkerWaits)
{
    RecordingDialog page(IDD_CONVERT);
    ASSERT_TRUE(page.Create(nullptr));
    std::string readBack;
    int rows = 0;
    RunWhileWorking([&] {
        EXPECT_FALSE(IsUiThread());
        page.SetDlgItemText(IDC_CONV_FILE_NAME, "clip & more.avi");
        readBack = page.GetDlgItemText(IDC_CONV_FILE_NAME);
        for (int i = 0; i < 50; ++i)
            page.ListAddString(IDC_CONV_LOG, "line " + std::to_string(i));
        rows = page.ListGetCount(IDC_CONV_LOG);
        page.ProgressSetPos(IDC_CONV_FILE_PROGRESS, 140);
    });
    EXPECT_EQ(readBack, "clip & more.avi");
    EXPECT_EQ(rows, 50);
    EXPECT_EQ(page.ListGetText(IDC_CONV_LOG, 49), "line 49");
    EXPECT_EQ(page.ProgressGetPos(IDC_CONV_FILE_PROGRESS), 100);
}

TEST(Dialog, SendsReturnAtOnceAfterTheUiHasShutDown)
{
    RecordingDialog page(IDD_CONVERT);
    ASSERT_TRUE(page.Create(nullptr));
    std::atomic<bool> waiting{false};
    bool sent = true;
    std::thread worker([&] {
        waiting = true;
        // The UI thread does not serve events now: this send waits until
        // the shutdown releases it.
        sent = SendToUi([&] { page.SetDlgItemText(IDC_CONV_FILE_NAME, "late"); });
    });
    while (!waiting)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ShutDownUi();
    worker.join();
    EXPECT_FALSE(sent);

    auto start = std::chrono::steady_clock::now();
    std::string text = "unset";
    std::thread later([&] { text = page.GetDlgItemText(IDC_CONV_FILE_NAME); });
    later.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(text, "");

    // The abandoned call never runs, not even once events are served again.
    QApplication::processEvents();
    SetUiThread();
    QApplication::processEvents();
    EXPECT_EQ(page.GetDlgItemText(IDC_CONV_FILE_NAME), "...");
}

TEST(Dialog, AQueuedCallToADialogDestroyedMeanwhileIsDropped)
{
    auto page = std::make_unique<RecordingDialog>(IDD_CONVERT);
    ASSERT_TRUE(page->Create(nullptr));
    std::atomic<bool> started{false};
    std::atomic<int> rows{99};
    CDialog* target = page.get();
    std::thread worker([&] {
        started = true;
        rows = target->ListAddString(IDC_CONV_LOG, "late line");
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    page.reset(); // the call waits in the queue: the UI served no events
    QElapsedTimer clock;
    clock.start();
    while (rows == 99 && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(rows, -1);
}

TEST(Dialog, PostedAndSentMessagesArriveInOnMessage)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    ASSERT_TRUE(window.Create(nullptr));
    window.PostMessage(WM_BURN_CLOSED);
    EXPECT_TRUE(window.messages.empty()); // queued, not delivered yet
    bool handled = false;
    RunWhileWorking([&] {
        window.PostMessage(WM_TRANS_COMPLETE);
        handled = window.SendMessage(WM_BURN_COMPLETE);
    });
    QApplication::processEvents();
    EXPECT_TRUE(handled);
    EXPECT_EQ(window.messages, (std::vector<unsigned>{WM_BURN_CLOSED, WM_TRANS_COMPLETE, WM_BURN_COMPLETE}));
    EXPECT_TRUE(window.messagesOnUiThread);
}

TEST(Dialog, AMessagePostedToADialogThatIsGoneIsDropped)
{
    int delivered = 0;
    auto window = std::make_unique<RecordingDialog>(IDD_KANDRIX_DIALOG);
    window->delivered = &delivered;
    ASSERT_TRUE(window->Create(nullptr));
    window->PostMessage(WM_TRANS_COMPLETE);
    QApplication::processEvents();
    EXPECT_EQ(delivered, 1);
    window->PostMessage(WM_TRANS_COMPLETE);
    window->PostMessage(WM_BURN_COMPLETE);
    window.reset();
    QApplication::processEvents();
    EXPECT_EQ(delivered, 1);
}

TEST(Dialog, MnemonicsPressTheirButtons)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    ASSERT_TRUE(window.Create(nullptr));
    window.ShowWindow(true);
    window.Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
    // A mnemonic animates the press and clicks when the animation ends.
    QTest::keyClick(window.Widget(), Qt::Key_N, Qt::AltModifier);
    QTest::qWait(300);
    QTest::keyClick(window.Widget(), Qt::Key_B, Qt::AltModifier);
    QTest::qWait(300);
    window.EnableDlgItem(IDC_MAIN_PREV, false);
    QTest::keyClick(window.Widget(), Qt::Key_P, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_EQ(window.commands, (std::vector<std::pair<int, int>>{{IDC_MAIN_NEXT, BN_CLICKED},
                                                                  {IDC_MAIN_ABOUT, BN_CLICKED}}));
}

TEST(Dialog, OnlyTheUsersSelectionNotifies)
{
    RecordingDialog page(IDD_FILELIST);
    ASSERT_TRUE(page.Create(nullptr));
    page.ShowWindow(true);
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        page.ListAddString(IDC_FILES_NAMES, name);
    page.ListSetCurSel(IDC_FILES_NAMES, 1);
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_NAMES), 1);
    page.ListSetCurSel(IDC_FILES_NAMES, -1);
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_NAMES), -1);
    EXPECT_TRUE(page.commands.empty());

    auto* list = qobject_cast<QListWidget*>(page.Control(IDC_FILES_NAMES));
    QRect row = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_NAMES), 2);
    EXPECT_EQ(page.commands, (std::vector<std::pair<int, int>>{{IDC_FILES_NAMES, LBN_SELCHANGE}}));

    // Deleting the selected row leaves nothing selected.
    page.ListDeleteString(IDC_FILES_NAMES, 2);
    EXPECT_EQ(page.ListGetCurSel(IDC_FILES_NAMES), -1);
    EXPECT_EQ(page.ListGetCount(IDC_FILES_NAMES), 2);
    EXPECT_EQ(page.ListInsertString(IDC_FILES_NAMES, 0, "first.avi"), 0);
    EXPECT_EQ(page.ListInsertString(IDC_FILES_NAMES, 9, "far.avi"), -1);
    EXPECT_EQ(page.ListGetText(IDC_FILES_NAMES, 0), "first.avi");
    EXPECT_EQ(page.ListGetText(IDC_FILES_NAMES, 7), "");
    EXPECT_EQ(page.commands.size(), 1u);
}

TEST(Dialog, DropDownListsStartWithoutSelectionAndNotifyUserChoices)
{
    RecordingDialog page(IDD_OUTPUT);
    ASSERT_TRUE(page.Create(nullptr));
    page.ShowWindow(true);
    EXPECT_EQ(page.ListAddString(IDC_OUT_BURNER, "[/dev/sr0]DVD-RW-VENDOR)"), 0);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_BURNER), -1);
    page.ListSetCurSel(IDC_OUT_FORMAT, 4);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_FORMAT), 4);
    EXPECT_EQ(page.GetDlgItemText(IDC_OUT_FORMAT), "PAL_DVD (*.vob)");
    EXPECT_TRUE(page.commands.empty());

    auto* combo = qobject_cast<QComboBox*>(page.Control(IDC_OUT_FORMAT));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(page.ListGetCurSel(IDC_OUT_FORMAT), 5);
    EXPECT_EQ(page.commands, (std::vector<std::pair<int, int>>{{IDC_OUT_FORMAT, CBN_SELCHANGE}}));
}

TEST(Dialog, RadioButtonsOfAGroupAreExclusive)
{
    RecordingDialog page(IDD_TASK);
    ASSERT_TRUE(page.Create(nullptr));
    page.ShowWindow(true);
    page.CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_MPG2DVD);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), IDC_TASK_MPG2DVD);
    QTest::mouseClick(page.Control(IDC_TASK_VIDEO2MPG), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), IDC_TASK_VIDEO2MPG);
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_TASK_MPG2DVD), 0);
    EXPECT_EQ(page.commands, (std::vector<std::pair<int, int>>{{IDC_TASK_VIDEO2MPG, BN_CLICKED}}));
    // The checked button of a group can be cleared, leaving none checked.
    page.CheckDlgButton(IDC_TASK_VIDEO2MPG, 0);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG), 0);
}

TEST(Dialog, ModalRunEndsWithTheEndDialogValue)
{
    RecordingDialog about(IDD_ABOUTBOX);
    WhenModal([&] { QTest::keyClick(about.Widget(), Qt::Key_Escape); });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    EXPECT_FALSE(about.HasWindow());
    EXPECT_EQ(about.destroyed, 1);

    // Enter presses the default button, OK.
    WhenModal([&] { QTest::keyClick(about.Widget(), Qt::Key_Return); });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(about.commands.back(), std::make_pair(IDOK, BN_CLICKED));

    WhenModal([&] { about.Widget()->close(); });
    EXPECT_EQ(about.DoModal(), IDCANCEL);

    WhenModal([&] { about.EndDialog(42); });
    EXPECT_EQ(about.DoModal(), 42);
    EXPECT_EQ(about.initialised, 4);
}

TEST(Dialog, EnterWithoutADefaultButtonIsOk)
{
    RecordingDialog window(IDD_TASK);
    WhenModal([&] { QTest::keyClick(window.Widget(), Qt::Key_Enter); });
    EXPECT_EQ(window.DoModal(), IDOK);
}

TEST(Dialog, EnterPressesTheDefaultButtonAndNothingWhileItIsDisabled)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    RecordingDialog page(IDD_TASK);
    WhenModal([&] {
        ASSERT_TRUE(page.Create(&window));
        page.ShowWindow(true);
        window.Widget()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
        // From a page's choice, Enter reaches the window's default button.
        page.SetFocusTo(IDC_TASK_MPG2DVD);
        QTest::keyClick(page.Control(IDC_TASK_MPG2DVD), Qt::Key_Return);
        window.EnableDlgItem(IDC_MAIN_NEXT, false);
        QTest::keyClick(page.Control(IDC_TASK_MPG2DVD), Qt::Key_Return);
        QTest::keyClick(window.Widget(), Qt::Key_Enter);
        EXPECT_TRUE(window.IsWindowVisible());
        window.EndDialog(7);
    });
    EXPECT_EQ(window.DoModal(), 7);
    EXPECT_EQ(window.commands, (std::vector<std::pair<int, int>>{{IDC_MAIN_NEXT, BN_CLICKED}}));
    EXPECT_TRUE(page.commands.empty());
}

TEST(Dialog, EnterInAPagesListDoesNotEndTheWindow)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    RecordingDialog page(IDD_FILELIST);
    WhenModal([&] {
        ASSERT_TRUE(page.Create(&window));
        page.ShowWindow(true);
        window.Widget()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.Widget()));
        page.SetFocusTo(IDC_FILES_NAMES);
        QTest::keyClick(page.Control(IDC_FILES_NAMES), Qt::Key_Return);
        EXPECT_TRUE(window.IsWindowVisible());
        // A page's button is pressed by Enter like any focused button.
        page.SetFocusTo(IDC_FILES_CLEAR);
        QTest::keyClick(page.Control(IDC_FILES_CLEAR), Qt::Key_Return);
        window.EndDialog(7);
    });
    EXPECT_EQ(window.DoModal(), 7);
    EXPECT_EQ(page.commands, (std::vector<std::pair<int, int>>{{IDC_FILES_CLEAR, BN_CLICKED}}));
    EXPECT_EQ(page.destroyed, 1);
}

TEST(Dialog, TimersTickUntilKilled)
{
    RecordingDialog page(IDD_BURN);
    ASSERT_TRUE(page.Create(nullptr));
    page.SetTimer(1, 5);
    QTest::qWait(60);
    int ticks = page.timerTicks;
    EXPECT_GT(ticks, 0);
    page.KillTimer(1);
    QTest::qWait(30);
    EXPECT_EQ(page.timerTicks, ticks);
}

TEST(Dialog, SystemMenuOffersTheRegisteredEntries)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    ASSERT_TRUE(window.Create(nullptr));
    window.AppendSystemMenuItem(IDM_ABOUTBOX, "&About KANDRIX...");
    auto* frame = static_cast<DialogWindow*>(window.Widget());
    std::unique_ptr<QMenu> menu = frame->CreateSystemMenu();
    QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About KANDRIX...");
    actions.back()->trigger();
    EXPECT_EQ(window.sysCommands, std::vector<int>{IDM_ABOUTBOX});
}

TEST(Dialog, PagesAreHiddenChildrenUntilShown)
{
    RecordingDialog window(IDD_KANDRIX_DIALOG);
    RecordingDialog page(IDD_TASK);
    ASSERT_TRUE(window.Create(nullptr));
    ASSERT_TRUE(page.Create(&window));
    EXPECT_EQ(page.initialised, 1);
    EXPECT_EQ(page.Widget()->parentWidget(), window.Widget());
    window.ShowWindow(true);
    EXPECT_FALSE(page.IsWindowVisible());
    page.MoveWindow(10, 20, 300, 200);
    page.ShowWindow(true);
    EXPECT_TRUE(page.IsWindowVisible());
    EXPECT_EQ(page.Widget()->geometry(), QRect(10, 20, 300, 200));
    EXPECT_FALSE(page.Create(&window)); // one window per dialog
}

TEST(Dialog, ADialogMayDestroyItsWindowFromItsOwnHandler)
{
    RecordingDialog page(IDD_BURN);
    ASSERT_TRUE(page.Create(nullptr));
    page.onCommand = [&](int id) {
        if (id == IDC_BURN_CLOSE)
            page.DestroyWindow();
    };
    qobject_cast<QPushButton*>(page.Control(IDC_BURN_CLOSE))->click();
    EXPECT_FALSE(page.HasWindow());
    EXPECT_EQ(page.destroyed, 1);
    EXPECT_EQ(page.Control(IDC_BURN_CLOSE), nullptr);
    EXPECT_EQ(page.GetDlgItemText(IDC_BURN_CLOSE), "");
    QApplication::processEvents();
}

TEST(Dialog, APageWhoseParentIsDestroyedHasNoWindowLeft)
{
    auto window = std::make_unique<RecordingDialog>(IDD_KANDRIX_DIALOG);
    RecordingDialog page(IDD_SUMMARY);
    ASSERT_TRUE(window->Create(nullptr));
    ASSERT_TRUE(page.Create(window.get()));
    window->DestroyWindow();
    EXPECT_FALSE(page.HasWindow());
    EXPECT_EQ(page.destroyed, 1);
    page.SetDlgItemText(IDC_SUM_TOTAL, "3"); // harmless without a window
}

} // namespace
