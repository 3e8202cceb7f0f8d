// Closing the wizard while work runs, and keys that must not close it.

#include "WizardFixture.h"

#include "shell/CTaskPage.h"
#include "convert/page/CConvertPage.h"
#include "convert/page/CFileListPage.h"
#include "res/resource.h"
#include "support/ProcessProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QTimer>

#include <sys/stat.h>

namespace {

// Runs step() every 20 ms while the window is modal, until it says it is done.
void WhileModal(const std::function<bool()>& step)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (step())
            timer->deleteLater();
    });
    timer->start(20);
}

void PressClose(CKANDRIXDlg& window)
{
    qobject_cast<QAbstractButton*>(window.Control(IDC_MAIN_CLOSE))->click();
}

} // namespace

TEST_F(WizardTest, ClosingDuringAConversionAsksFirst)
{
    // An encoder that never finishes by itself.
    const std::string encoder = File("mg.exe");
    std::ofstream(encoder) << "#!/bin/sh\necho $$ > \"" << File("mg.pid") << "\"\nexec sleep 30\n";
    ::chmod(encoder.c_str(), 0755);
    std::ofstream(File("a.avi")) << "not a video";
    Settings().programFolder = folder_;

    window_ = std::make_unique<CKANDRIXDlg>(*run_, folder_);
    AfxSetMainWnd(window_.get());
    CKANDRIXDlg& window = *window_;
    int pid = 0;
    int stage = 0;
    std::chrono::steady_clock::time_point yes;
    WhileModal([&] {
        switch (stage) {
        case 0:
            window.TaskPage()->CheckRadioButton(IDC_TASK_VIDEO2DVD, IDC_TASK_VIDEO2MPG, IDC_TASK_VIDEO2MPG);
            window.OnNext();
            window.FileListPage()->AddFile(File("a.avi"));
            window.OnNext();
            window.OnNext();
            ++stage;
            return false;
        case 1:
            pid = std::atoi(ReadText(File("mg.pid")).c_str());
            if (pid <= 0)
                return false;
            seam_.AnswerBox(IDNO);
            PressClose(window);
            ++stage;
            return false;
        default:
            // No: the window stays and the conversion goes on.
            EXPECT_TRUE(window.ConvertPage()->IsConverting());
            EXPECT_FALSE(ProcessGone(pid));
            seam_.AnswerBox(IDYES);
            yes = std::chrono::steady_clock::now();
            PressClose(window);
            return true;
        }
    });
    window.DoModal();
    // The window's end waited for the conversion to stop, within its bound:
    // no encoder left.
    EXPECT_LT(std::chrono::steady_clock::now() - yes, CKANDRIXDlg::kJobShutdownWait + std::chrono::seconds(1));
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_EQ(seam_.BoxTexts(), (std::vector<std::string>(2, "A conversion is running. Stop it and quit?")));
    for (const ScriptedSeam::Box& box : seam_.Boxes())
        EXPECT_EQ(box.type, MB_YESNO | MB_ICONQUESTION);
}

TEST_F(WizardTest, EscapeOnAnOpenDropDownClosesOnlyTheList)
{
    window_ = std::make_unique<CKANDRIXDlg>(*run_, folder_);
    AfxSetMainWnd(window_.get());
    CKANDRIXDlg& window = *window_;
    int stage = 0;
    bool stillOpen = false;
    WhileModal([&] {
        auto* combo = qobject_cast<QComboBox*>(window.Page(CKANDRIXDlg::kOutputPage)->Control(IDC_OUT_TV_SYSTEM));
        switch (stage) {
        case 0:
            window.OnNext();
            window.FileListPage()->AddFile(File("a.avi"));
            window.OnNext();
            combo->setFocus();
            combo->showPopup();
            ++stage;
            return false;
        case 1: {
            // The key goes where the keyboard goes: the open list.
            QWidget* target = QApplication::activePopupWidget();
            if (!target)
                return false;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(target, &press);
            QApplication::sendEvent(target, &release);
            // Held down, the key repeats after the list has closed.
            QKeyEvent late(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(combo, &late);
            ++stage;
            return false;
        }
        case 2:
            stillOpen = window.Widget() && window.Widget()->isVisible() && !QApplication::activePopupWidget();
            window.EndDialog(IDCANCEL);
            return true;
        }
        return true;
    });
    window.DoModal();
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(seam_.Boxes().empty());
}
