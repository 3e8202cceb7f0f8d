#include "app/CKANDRIXApp.h"

#include "app/CKANDRIXDlg.h"
#include "app/ConversionSettings.h"
#include "platform/ChildProcess.h"
#include "platform/Dialog.h"
#include "platform/Paths.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// Workers still running get this long to notice the window has gone.
constexpr auto kShutdownPause = std::chrono::milliseconds(1000);

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
        ShutDownUi();
        // Whatever a worker still runs (an encoder, an authoring batch) ends
        // with the program.
        StopAllChildProcesses();
        std::this_thread::sleep_for(kShutdownPause);
    }
    return 0;
}
