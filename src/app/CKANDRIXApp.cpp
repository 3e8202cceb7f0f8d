#include "app/CKANDRIXApp.h"

#include "app/CKANDRIXDlg.h"
#include "core/TraceFile.h"
#include "app/StopSignals.h"
#include "platform/Paths.h"
#include "platform/RunSweep.h"
#include "platform/UiThread.h"
#include "platform/qt/QtUiSeam.h"
#include "recorder/ImageFileRecorder.h"
#include "run/RunState.h"

#include <QApplication>

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
    RunState run;
    // Off the window's thread: an output folder on a slow disk must not
    // hold the start.
    std::unique_ptr<Job> sweep = run.Jobs().Start<int>(
        "removal of dead runs' files",
        [](JobControl&) { return RemoveDeadRuns(ImageFileRecorder::IsPartFileName); }, nullptr);
    run.Settings().programFolder = GetProgramFolder();

    bool stopRequested = false;
    {
        CKANDRIXDlg window(run, run.Settings().programFolder);
        AfxSetMainWnd(&window);
        window.DoModal();
        AfxSetMainWnd(nullptr);
        stopRequested = window.StopRequested();
    }
    // The window's end has stopped every job it could within its wait. A
    // stop request must end the program within seconds: a write that did
    // not stop by now is not waited for again.
    const std::vector<std::string> stuck = run.End(stopRequested);
    // Written out before the program ends, also when it ends without waiting.
    trace.reset();
    if (!stuck.empty())
        AbandonStuckJobs(stuck);
    return 0;
}
