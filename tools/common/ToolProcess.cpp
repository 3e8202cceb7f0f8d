#include "ToolProcess.h"

#include "process/Spawn.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kExitCannotRun = 126;
constexpr int kSignalBase = 128;

sigset_t g_heldSignals;

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&set, signal);
    return set;
}

int StatusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return kSignalBase + WTERMSIG(waitStatus);
    return kSignalBase;
}

int StreamOf(int fd)
{
    return fd >= 0 ? fd : kInheritStream;
}

} // namespace

void HoldStopSignals()
{
    // An ignored SIGCHLD would have the kernel reap the tool before we see it.
    signal(SIGCHLD, SIG_DFL);
    g_heldSignals = StopSignals();
    sigprocmask(SIG_BLOCK, &g_heldSignals, nullptr);
}

ToolRun RunTool(const char* front, const std::string& program, const std::vector<std::string>& arguments,
                const ToolStreams& streams)
{
    SpawnRequest request;
    request.arguments = arguments;
    request.program = program;
    request.input = StreamOf(streams.input);
    request.output = StreamOf(streams.output);
    request.error = StreamOf(streams.error);
    // In our group: a stop of the group the program gave us reaches the tool.
    request.session = ChildSession::Same;
    // The front may be killed outright; the tool must not outlive it. The
    // front's own starter set the same for the front, so the chain holds.
    request.endWithStarter = true;

    ToolRun run;
    std::fflush(nullptr);
    const SpawnedChild child = Spawn(request);
    if (child.failure != SpawnedChild::Failure::None) {
        std::fprintf(stderr, "%s: cannot run %s: %s\n", front, program.c_str(), child.error.c_str());
        run.exitCode = kExitCannotRun;
        return run;
    }
    close(child.pidfd);

    int waitStatus = 0;
    for (;;) {
        siginfo_t info {};
        int signal = sigwaitinfo(&g_heldSignals, &info);
        if (signal < 0)
            continue; // EINTR from a signal we do not hold
        if (signal == SIGCHLD) {
            if (waitpid(child.pid, &waitStatus, WNOHANG) == child.pid)
                break;
            continue;
        }
        // Told to stop: the tool may be in the middle of a long graceful
        // shutdown of its own, which the caller has no time for.
        run.stopSignal = signal;
        kill(child.pid, SIGKILL);
        while (waitpid(child.pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        break;
    }
    run.exitCode = StatusOf(waitStatus);
    return run;
}

void EndBySignal(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    std::fflush(nullptr);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    _exit(kSignalBase + signal);
}
