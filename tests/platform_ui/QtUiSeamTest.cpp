// The windowed seam: the filter strings it hands Qt, and its windows shown
// on the UI thread for a caller on another thread.

#include "platform/Messages.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"
#include "support/StandInOpener.h"
#include "support/UiEvents.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(QtFileFilters, TurnsPipeListsIntoQtFilters)
{
    EXPECT_EQ(QtFileFilters("All supported files|*.avi;*.mkv|All Files (*.*)|*.*|"),
              (QStringList{"All supported files (*.avi *.mkv)", "All Files (*)"}));
    EXPECT_EQ(QtFileFilters("Text Files (*.txt)|*.txt|"), QStringList{"Text Files (*.txt)"});
    // A trailing description without patterns, and empty input, give nothing.
    EXPECT_EQ(QtFileFilters("MPEG|*.mpg; *.mpeg|Broken|"), QStringList{"MPEG (*.mpg *.mpeg)"});
    EXPECT_TRUE(QtFileFilters("").isEmpty());
}

// Answers the next modal window the seam shows with handle(), from the UI
// thread's event loop, while a worker waits for the seam's answer.
template <typename Window>
void AnswerFromWorker(const std::function<void()>& ask, const std::function<void(Window*)>& handle)
{
    bool handled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget()); window && !handled) {
            handled = true;
            handle(window);
        }
    });
    poll.start(10);
    RunWhileWorking(ask);
    EXPECT_TRUE(handled);
}

TEST(QtUiSeam, MessageBoxFromAWorkerShowsTheTextAndReturnsTheAnswer)
{
    QtUiSeam seam;
    int answer = 0;
    AnswerFromWorker<QMessageBox>(
        [&] { answer = seam.MessageBox(nullptr, "Overwrite the file?", "", MB_YESNO | MB_ICONQUESTION); },
        [](QMessageBox* box) {
            EXPECT_EQ(box->text(), "Overwrite the file?");
            EXPECT_EQ(box->windowTitle().toStdString(), ProgramName());
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            box->button(QMessageBox::Yes)->click();
        });
    EXPECT_EQ(answer, IDYES);

    AnswerFromWorker<QMessageBox>(
        [&] { answer = seam.MessageBox(nullptr, "Burn complete!", "KANDRIX", MB_OK); },
        [](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "KANDRIX");
            EXPECT_NE(box->button(QMessageBox::Ok), nullptr);
            EXPECT_EQ(box->button(QMessageBox::Yes), nullptr);
            box->button(QMessageBox::Ok)->click();
        });
    EXPECT_EQ(answer, IDOK);
}

TEST(QtUiSeam, OpenDialogReturnsEveryChosenFile)
{
    QtUiSeam seam;
    std::optional<std::vector<std::string>> files;
    AnswerFromWorker<QFileDialog>(
        [&] { files = seam.GetOpenFileNames(nullptr, "Video|*.avi;*.mkv|All Files (*.*)|*.*|"); },
        [&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
            EXPECT_EQ(dialog->nameFilters(), (QStringList{"Video (*.avi *.mkv)", "All Files (*)"}));
            dialog->reject();
        });
    EXPECT_FALSE(files.has_value());
}

TEST(QtUiSeam, ShellOpenReportsAMissingFileAndOpensWithTheDesktopsOpener)
{
    QtUiSeam seam;
    EXPECT_EQ(seam.ShellOpen("/no/such/folder/help.html"), 2);

    TempDir bin;
    const std::string page = bin.Write("help page.html", "<p>help</p>");
    ScopedEnv path("PATH", bin.Path(""));
    EXPECT_EQ(seam.ShellOpen(page), 31);
    WriteRecordingScript(bin, "xdg-open", bin.Path("record"));
    EXPECT_GT(seam.ShellOpen(page), 32);
    EXPECT_EQ(RecordedArguments(bin.Path("record")), std::vector<std::string>{page});
}

TEST(QtUiSeam, AnswersAtOnceOnceTheUiHasShutDown)
{
    QtUiSeam seam;
    ShutDownUi();
    int answer = 0;
    std::thread worker([&] { answer = seam.MessageBox(nullptr, "late", "", MB_YESNO); });
    worker.join();
    SetUiThread();
    EXPECT_EQ(answer, IDNO);
}

} // namespace
