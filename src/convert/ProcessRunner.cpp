#include "convert/ProcessRunner.h"

#include "convert/ProgressParser.h"
#include "platform/ChildProcess.h"
#include "platform/UiSeam.h"

#include <sys/wait.h>

namespace {

struct ReadLoop {
    ChildProcess& child;
    const ChunkSink& sink;
    int pollMs;
    const std::atomic<int>* cancelFlag;
    const std::function<void(const std::string&)>* onChunk;

    bool Cancelled() const { return cancelFlag && cancelFlag->load() != 0; }

    // Waits for output; while the tool is silent the cancel flag is still
    // looked at once per pause. False when cancelled.
    bool WaitForOutput()
    {
        while (child.WaitForOutput(pollMs) == ChildProcess::WaitResult::TimedOut) {
            if (Cancelled())
                return false;
        }
        return true;
    }

    // True at the end of the output, false when cancelled.
    bool Run()
    {
        char buffer[CHUNK_MAX];
        bool outputEnded = false;
        for (;;) {
            if (!outputEnded && !WaitForOutput())
                return false;
            size_t got = child.Read(buffer, CHUNK_MAX);
            if (got == 0)
                return !Cancelled();
            std::string chunk(buffer, got);
            if (sink)
                sink(chunk);
            if (Cancelled())
                return false;
            if (onChunk)
                (*onChunk)(chunk);
            // The pause ends early when the tool is done, so the end of a
            // file is never held back by it.
            if (!outputEnded)
                outputEnded = child.WaitForEnd(pollMs);
        }
    }
};

bool StartChild(ChildProcess& child, const std::vector<std::string>& arguments, CDialog* owner,
                const ChunkSink& sink)
{
    std::string cause;
    ChildProcess::StartResult started = child.Start(arguments, &cause);
    if (started == ChildProcess::StartResult::Started)
        return true;
    if (sink)
        sink("Cannot run " + (arguments.empty() ? std::string() : arguments[0]) + ": " + cause);
    Ui().MessageBox(owner,
                    started == ChildProcess::StartResult::PipeFailed ? "Error On CreatePipe()"
                                                                     : "Error on CreateProcess()",
                    std::string(), MB_OK);
    return false;
}

} // namespace

void RunningChildSlot::Attach(ChildProcess* child)
{
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = child;
}

void RunningChildSlot::Detach()
{
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = nullptr;
}

void RunningChildSlot::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (child_)
        child_->Terminate();
}

RunResult RunEncoder(const EncoderRun& run, ProgressParser& parser)
{
    parser.Reset();
    ChildProcess child;
    if (!StartChild(child, run.arguments, run.owner, run.sink))
        return RunResult::FailedToStart;
    if (run.slot)
        run.slot->Attach(&child);
    if (run.started)
        run.started();

    std::function<void(const std::string&)> parse = [&](const std::string& chunk) {
        std::optional<int> percent = parser.Parse(chunk);
        if (percent && run.progress)
            run.progress(*percent);
    };
    ReadLoop loop {child, run.sink, run.pollMs, run.cancelFlag, &parse};
    bool ended = loop.Run();
    if (run.slot)
        run.slot->Detach();
    if (!ended)
        child.Terminate();
    int status = child.Finish();
    if (run.exitedCleanly)
        *run.exitedCleanly = ended && status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ended ? RunResult::Finished : RunResult::Cancelled;
}

bool RunBatch(const std::vector<std::string>& arguments, const ChunkSink& sink, int pollMs, int* exitStatus)
{
    ChildProcess child;
    if (!StartChild(child, arguments, nullptr, sink))
        return false;
    ReadLoop loop {child, sink, pollMs, nullptr, nullptr};
    loop.Run();
    const int status = child.Finish();
    if (exitStatus)
        *exitStatus = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}
