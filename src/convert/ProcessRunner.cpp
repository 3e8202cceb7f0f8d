#include "convert/ProcessRunner.h"

#include "convert/ProgressParser.h"
#include "platform/Job.h"
#include "platform/JobQuestions.h"

#include <chrono>
#include <optional>
#include <sys/wait.h>

namespace {

using Clock = std::chrono::steady_clock;

// "\r\n" and a lone "\r" (the encoder rewrites its progress line in place)
// become "\n"; line ends at the end of the entry are dropped, since the entry
// is a line of its own in the log.
std::string AsLogEntry(const std::string& text)
{
    std::string entry;
    entry.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            entry += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            entry += text[i];
        }
    }
    while (!entry.empty() && entry.back() == '\n')
        entry.pop_back();
    return entry;
}

// Cuts the output into lines at "\r" or "\n", keeping a partial last line
// for the next read.
class LineSplitter {
public:
    template <class Fn>
    void Feed(const std::string& text, Fn&& onLine)
    {
        for (char c : text) {
            if (c == '\r' || c == '\n') {
                if (!partial_.empty())
                    onLine(partial_);
                partial_.clear();
            } else {
                partial_ += c;
            }
        }
    }

    template <class Fn>
    void Finish(Fn&& onLine)
    {
        if (!partial_.empty())
            onLine(partial_);
        partial_.clear();
    }

private:
    std::string partial_;
};

// The cancel's hook has asked the tool to stop, and so may the shutdown;
// either way the run ends here, on the job's thread, which sees to it.
bool Cancelled(const ToolRun& run, const ChildProcess& child)
{
    return (run.control && run.control->Cancelled()) || child.StopRequested();
}

bool StartChild(ChildProcess& child, const ToolRun& run, std::string& failure)
{
    std::string cause;
    ChildProcess::StartResult started = child.Start(run.arguments, &cause);
    if (started == ChildProcess::StartResult::Started)
        return true;
    const std::string why = (run.arguments.empty() ? std::string() : run.arguments[0]) + ": " + cause;
    failure = "cannot run " + why;
    if (run.log)
        run.log("Cannot run " + why);
    const std::string text = started == ChildProcess::StartResult::PipeFailed ? "Error On CreatePipe()"
                                                                               : "Error on CreateProcess()";
    if (run.questions)
        run.questions->MessageBox(text, std::string(), MB_OK);
    else
        AfxMessageBox(text);
    return false;
}

// Reads the tool's output until it ends or the run is cancelled; true when it
// ended.
bool ReadOutput(ChildProcess& child, const ToolRun& run)
{
    std::string pending;
    LineSplitter lines;
    auto onLine = [&](const std::string& line) {
        if (run.line)
            run.line(line);
    };
    auto endPause = [&] {
        if (!pending.empty() && run.log)
            run.log(AsLogEntry(pending));
        pending.clear();
        if (run.pause)
            run.pause();
    };
    auto pauseEnd = Clock::now() + std::chrono::milliseconds(run.pollMs);
    for (;;) {
        if (Cancelled(run, child))
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(pauseEnd - Clock::now());
        bool ended = false;
        if (child.WaitReadable(static_cast<int>(std::max<long long>(0, left.count())))) {
            std::string got;
            ended = child.ReadAvailable(got) == ChildProcess::ReadResult::Ended;
            pending += got;
            lines.Feed(got, onLine);
        }
        if (ended) {
            lines.Finish(onLine);
            endPause();
            return true;
        }
        if (Clock::now() >= pauseEnd) {
            endPause();
            pauseEnd = Clock::now() + std::chrono::milliseconds(run.pollMs);
        }
    }
}

// A tool may close its output and still run; it is waited for, but a cancel
// still stops it.
bool WaitForExit(ChildProcess& child, const ToolRun& run)
{
    while (!child.WaitForExit(run.pollMs)) {
        if (Cancelled(run, child))
            return false;
    }
    return !Cancelled(run, child);
}

int ExitStatusOf(int waitStatus)
{
    return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

} // namespace

ToolOutcome RunTool(const ToolRun& run)
{
    ToolOutcome outcome;
    ChildProcess child;
    if (!StartChild(child, run, outcome.startFailure))
        return outcome;
    bool ended;
    {
        CancelHookGuard stopOnCancel(run.control, [&child] { child.RequestStop(); });
        if (run.started)
            run.started();
        ended = ReadOutput(child, run) && WaitForExit(child, run);
    }
    if (!ended)
        child.Terminate();
    const int status = child.Finish();
    outcome.result = ended ? RunResult::Finished : RunResult::Cancelled;
    outcome.exitStatus = ended ? ExitStatusOf(status) : -1;
    return outcome;
}

// The encoder (FFmpeg underneath) writes, once and then again and again:
//   Duration: 00:00:05.02, start: 0.000000, bitrate: 752 kb/s
//   frame=   89 fps=0.0 q=2.0 size=     512kB time=00:00:03.54 bitrate=1182.4kbits/s speed=7.04x
ToolOutcome RunEncoder(const EncoderRun& encoder, ProgressParser& parser)
{
    parser.Reset();
    std::optional<int> latest;
    int shown = -1;
    ToolRun run;
    run.arguments = encoder.arguments;
    run.log = encoder.log;
    run.line = [&](const std::string& line) {
        if (std::optional<int> percent = parser.Parse(line))
            latest = percent;
    };
    run.pause = [&] {
        if (latest && *latest != shown && encoder.progress) {
            shown = *latest;
            encoder.progress(shown);
        }
    };
    run.started = encoder.started;
    run.questions = encoder.questions;
    run.control = encoder.control;
    run.pollMs = encoder.pollMs;
    return RunTool(run);
}

bool RunBatch(const std::vector<std::string>& arguments, const std::function<void(const std::string&)>& log,
              int pollMs, int* exitStatus, JobControl* control)
{
    ToolRun run;
    run.arguments = arguments;
    run.log = log;
    run.pollMs = pollMs;
    run.control = control;
    const ToolOutcome outcome = RunTool(run);
    if (exitStatus)
        *exitStatus = outcome.exitStatus;
    return outcome.result != RunResult::FailedToStart;
}
