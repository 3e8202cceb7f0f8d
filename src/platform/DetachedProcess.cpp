#include "platform/DetachedProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void SleepMs(long milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Until exec a child still has the program's handlers: its stop handler
// would write the wizard's stop pipe and close the wizard. The signals stay
// blocked over the fork until the handlers are gone.
void ResetSignals()
{
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD})
        sigaction(signalNumber, &standard, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The program's other descriptors (pipes of its tools above all) must not
// live on in a program that outlives it. Kernels before 5.11 lack the flag;
// then every descriptor below the limit read before fork is marked.
void CloseOnExecFrom(int first, int limit)
{
    if (close_range(static_cast<unsigned>(first), ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    for (int fd = first; fd < limit; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

// The soft limit on descriptors: none is numbered at or above it.
int DescriptorLimit()
{
    constexpr rlim_t kMost = 1 << 20;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > kMost)
        return static_cast<int>(kMost);
    return static_cast<int>(limit.rlim_cur);
}

// The program itself, in the grandchild. Only async-signal-safe calls
// between fork and exec.
[[noreturn]] void ExecProgram(char* const* argv, int errorFd, int fdLimit)
{
    int nullFd = open("/dev/null", O_RDWR);
    if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(nullFd, 1) < 0) {
        int error = errno;
        WriteAll(errorFd, &error, sizeof error);
        _exit(127);
    }
    CloseOnExecFrom(3, fdLimit);
    execve(argv[0], argv, environ);
    int error = errno;
    WriteAll(errorFd, &error, sizeof error);
    _exit(127);
}

// The middle child: leads a new session, starts the program, watches its
// first moments, reports, and ends, leaving the program to init.
[[noreturn]] void RunDetached(char* const* argv, int reportFd, int waitMs, int fdLimit)
{
    setsid();
    LaunchResult result;
    int execPipe[2];
    if (pipe2(execPipe, O_CLOEXEC) != 0) {
        result.error = errno;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    pid_t program = fork();
    if (program == 0)
        ExecProgram(argv, execPipe[1], fdLimit);
    close(execPipe[1]);
    if (program < 0) {
        result.error = errno;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    int error = 0;
    if (ReadAll(execPipe[0], &error, sizeof error)) {
        waitpid(program, nullptr, 0);
        result.error = error;
        WriteAll(reportFd, &result, sizeof result);
        _exit(0);
    }
    result.kind = LaunchResult::StillRunning;
    for (int waited = 0; waited <= waitMs; waited += 20) {
        int status = 0;
        if (waitpid(program, &status, WNOHANG) == program) {
            result.kind = LaunchResult::Exited;
            result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        SleepMs(20);
    }
    WriteAll(reportFd, &result, sizeof result);
    _exit(0);
}

} // namespace

LaunchResult LaunchDetached(const std::vector<std::string>& arguments, int waitMs)
{
    LaunchResult result;
    if (arguments.empty()) {
        result.error = ENOENT;
        return result;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const int fdLimit = DescriptorLimit();
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pid_t middle = fork();
    if (middle == 0) {
        ResetSignals();
        close(report[0]);
        RunDetached(argv.data(), report[1], waitMs, fdLimit);
    }
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close(report[1]);
    if (middle < 0) {
        result.error = forkError;
        close(report[0]);
        return result;
    }
    if (!ReadAll(report[0], &result, sizeof result)) {
        result = LaunchResult{};
        result.error = ECHILD;
    }
    close(report[0]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    return result;
}
