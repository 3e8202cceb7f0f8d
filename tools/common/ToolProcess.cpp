#include "ToolProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kExitCannotRun = 126;
constexpr int kSignalBase = 128;

sigset_t g_heldSignals;
sigset_t g_originalMask;

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&set, signal);
    return set;
}

// Between fork and exec: our own process is single-threaded, so stdio is safe.
[[noreturn]] void ExecTool(const char* front, const std::string& program, std::vector<char*>& argv, pid_t parent,
                           const ToolStreams& streams)
{
    // The front may be killed outright; the tool must not outlive it. The
    // front's own parent set the same for the front, so the chain holds.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(kExitCannotRun);
    sigprocmask(SIG_SETMASK, &g_originalMask, nullptr);
    const int targets[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
    const int sources[] = {streams.input, streams.output, streams.error};
    for (int i = 0; i < 3; ++i) {
        if (sources[i] >= 0 && dup2(sources[i], targets[i]) < 0) {
            std::fprintf(stderr, "%s: cannot run %s: %s\n", front, program.c_str(), std::strerror(errno));
            _exit(kExitCannotRun);
        }
    }
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "%s: cannot run %s: %s\n", front, program.c_str(), std::strerror(errno));
    _exit(kExitCannotRun);
}

int StatusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return kSignalBase + WTERMSIG(waitStatus);
    return kSignalBase;
}

} // namespace

// Empty entries of PATH would mean the current folder; a tool is never taken
// from there, it could be anything the source folder holds.
std::string FindOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    std::string entries = path;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos)
            end = entries.size();
        std::string folder = entries.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = folder + '/' + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

void HoldStopSignals()
{
    // An ignored SIGCHLD would have the kernel reap the tool before we see it.
    signal(SIGCHLD, SIG_DFL);
    g_heldSignals = StopSignals();
    sigprocmask(SIG_BLOCK, &g_heldSignals, &g_originalMask);
}

ToolRun RunTool(const char* front, const std::string& program, const std::vector<std::string>& arguments,
                const ToolStreams& streams)
{
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    ToolRun run;
    std::fflush(nullptr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
        ExecTool(front, program, argv, parent, streams);
    if (pid < 0) {
        std::fprintf(stderr, "%s: cannot start %s: %s\n", front, program.c_str(), std::strerror(errno));
        run.exitCode = kExitCannotRun;
        return run;
    }

    int waitStatus = 0;
    for (;;) {
        siginfo_t info {};
        int signal = sigwaitinfo(&g_heldSignals, &info);
        if (signal < 0)
            continue; // EINTR from a signal we do not hold
        if (signal == SIGCHLD) {
            pid_t done = waitpid(pid, &waitStatus, WNOHANG);
            if (done == pid)
                break;
            continue;
        }
        // Told to stop: the tool may be in the middle of a long graceful
        // shutdown of its own, which the caller has no time for.
        run.stopSignal = signal;
        kill(pid, SIGKILL);
        while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
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
