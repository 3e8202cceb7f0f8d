#include "app/CKANDRIXApp.h"

#include "app/CKANDRIXDlg.h"
#include "app/ConversionSettings.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"

#include <QApplication>

#include <chrono>
#include <thread>

namespace {

// Workers still running get this long to notice the window has gone.
constexpr auto kShutdownPause = std::chrono::milliseconds(1000);

} // namespace

int CKANDRIXApp::Run(int argc, char** argv)
{
    // Qt handles the display's DPI itself; nothing to switch on.
    QApplication application(argc, argv);
    SetUiThread();
    InstallWindowedUiSeam();

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
