#include "app/CKANDRIXApp.h"

#include "app/CKANDRIXDlg.h"
#include "app/ConversionSettings.h"
#include "platform/ChildProcess.h"
#include "platform/Dialog.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"
#include "recorder/LibburnRecorder.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
int g_stopPipe[2] = {-1, -1};

void NoteStopSignal(int signal)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(g_stopPipe[1], &byte, 1);
    // A second request ends the program at once, should the window not answer.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
}

void CloseEveryWindow()
{
    // Open questions first: the wizard's modal run ends only once they are gone.
    for (int i = 0; i < 8 && QApplication::activeModalWidget(); ++i)
        QApplication::activeModalWidget()->close();
    if (CDialog* window = AfxGetMainWnd())
        window->EndDialog(IDCANCEL);
}

// A stop request from outside (Ctrl+C, kill, the session ending) closes the
// window the ordinary way: the settings are kept, and the encoder, which runs
// in a process group of its own and so never hears the request, ends too.
void CloseWindowOnStopSignals(QObject* owner)
{
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte;
        while (::read(g_stopPipe[0], &byte, 1) > 0) {
        }
        CloseEveryWindow();
    });
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int CKANDRIXApp::Run(int argc, char** argv)
{
    // Qt handles the display's DPI itself; nothing to switch on.
    QApplication application(argc, argv);
    SetUiThread();
    InstallWindowedUiSeam();
    CloseWindowOnStopSignals(&application);

    ConversionSettings& settings = Settings();
    settings.SetDefaults();
    settings.programFolder = GetProgramFolder();

    {
        CKANDRIXDlg window(settings.programFolder);
        AfxSetMainWnd(&window);
        window.DoModal();
        AfxSetMainWnd(nullptr);
    }
    // The window's end has stopped every job it could within its wait.
    const std::vector<std::string> stuck = ShutDownJobs(std::chrono::milliseconds(0));
    DefaultLibburnRecorder().Shutdown();
    StopAllChildProcesses();
    if (!stuck.empty()) {
        for (const std::string& name : stuck)
            std::fprintf(stderr, "KANDRIX: the %s did not stop in time; ending without it\n", name.c_str());
        // Its thread may still use what static destruction would tear down.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
