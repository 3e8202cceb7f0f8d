#include "run/RunState.h"

#include "process/ChildProcess.h"
#include "recorder/LibburnRecorder.h"

#include <cstdio>
#include <cstdlib>

RunState::RunState() : ownRecorder_(std::make_unique<LibburnRecorder>()), recorder_(*ownRecorder_)
{
    settings_.SetDefaults();
}

RunState::RunState(RecorderLibrary& recorder) : recorder_(recorder)
{
    settings_.SetDefaults();
}

RunState::~RunState()
{
    if (ended_)
        return;
    // A job waiting for the UI thread, which may well be this one, would
    // never end.
    if (!jobs_.WaitForAll(std::chrono::milliseconds(0)).empty())
        jobs_.ShutDown(std::chrono::milliseconds(0));
    jobs_.EndAll();
    End(false);
}

std::vector<std::string> RunState::End(bool hurried)
{
    ended_ = true;
    // The window has waited for the jobs already.
    const std::vector<std::string> stuck = jobs_.WaitForAll(std::chrono::milliseconds(0));
    // A job still running may hold the library in a drive call that takes
    // as long as the drive does; releasing the records would wait for it.
    if (stuck.empty())
        recorders_.Clear();
    if (!hurried || stuck.empty())
        recorder_.Shutdown();
    StopAllChildProcesses();
    return stuck;
}

void AbandonStuckJobs(const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        std::fprintf(stderr, "KANDRIX: the %s did not stop in time; ending without it\n", name.c_str());
    // Neither the run nor the program's statics are destroyed: the job's
    // thread may still use them.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}
