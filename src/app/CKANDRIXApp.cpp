#include "app/CKANDRIXApp.h"

#include "app/CKANDRIXDlg.h"
#include "core/TraceFile.h"
#include "app/StopSignals.h"
#include "core/ConversionSettings.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/RunSweep.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"
#include "process/ChildProcess.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/LibburnRecorder.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

int CKANDRIXApp::Run(int argc, char** argv)
{
    // Qt handles the display's DPI itself; nothing to switch on.
    QApplication application(argc, argv);
    SetUiThread();
    InstallWindowedUiSeam();
    EndOnStopSignals(&application);
    auto trace = std::make_unique<TraceFile>(GetCacheFolder());
    // Off the window's thread: an output folder on a slow disk must not
    // hold the start.
    std::unique_ptr<Job> sweep = Job::Start<int>(
        "removal of dead runs' files",
        [](JobControl&) { return RemoveDeadRuns(ImageFileRecorder::IsPartFileName); }, nullptr);

    ConversionSettings& settings = Settings();
    settings.SetDefaults();
    settings.programFolder = GetProgramFolder();

    bool stopRequested = false;
    {
        CKANDRIXDlg window(settings.programFolder);
        AfxSetMainWnd(&window);
        window.DoModal();
        AfxSetMainWnd(nullptr);
        stopRequested = window.StopRequested();
    }
    // The window's end has stopped every job it could within its wait.
    const std::vector<std::string> stuck = ShutDownJobs(std::chrono::milliseconds(0));
    // A stop request must end the program within seconds: a write that did
    // not stop by now is not waited for again, and the kernel lets go of
    // its drive when the process ends.
    if (!stopRequested || stuck.empty())
        DefaultLibburnRecorder().Shutdown();
    StopAllChildProcesses();
    // Written out before the program ends, also when it ends without waiting.
    trace.reset();
    if (!stuck.empty()) {
        for (const std::string& name : stuck)
            std::fprintf(stderr, "KANDRIX: the %s did not stop in time; ending without it\n", name.c_str());
        // Its thread may still use what static destruction would tear down.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
