#include "app/StopSignals.h"

#include "app/CKANDRIXDlg.h"
#include "platform/Dialog.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

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

// Cancelling the jobs stops a running encoder, authoring or image write; the
// window's end then waits for them and removes the run's files.
void EndOnStopRequest()
{
    CDialog* main = AfxGetMainWnd();
    // Open boxes first: the wizard's modal run ends only once they are gone.
    for (int i = 0; i < 8; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (main && modal == main->Widget()))
            break;
        if (auto* box = qobject_cast<QDialog*>(modal))
            box->reject();
        else
            modal->close();
    }
    if (auto* wizard = dynamic_cast<CKANDRIXDlg*>(main))
        wizard->EndWithoutAsking();
    else if (main)
        main->EndDialog(IDCANCEL);
}

} // namespace

void EndOnStopSignals(QObject* owner)
{
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte;
        while (::read(g_stopPipe[0], &byte, 1) > 0) {
        }
        EndOnStopRequest();
    });
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        ::sigaction(signal, &action, nullptr);
}
