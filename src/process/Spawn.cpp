#include "process/Spawn.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// fork and exec rather than posix_spawn: posix_spawn has no way to give the
// child a parent-death signal, and the tools' children must end with the
// tool even when it is killed outright. A detached start also needs a
// middle process that watches the program, which posix_spawn cannot be.

namespace {

constexpr int kStandardStreams = 3;
constexpr int kExitCannotStart = 127;
constexpr int kMostDescriptors = 1 << 20;

// What the child needs, made before fork: between fork and exec the copy of
// this threaded process may make only async-signal-safe calls, so nothing
// there allocates.
struct Prepared {
    explicit Prepared(const SpawnRequest& request)
        : program(request.program.empty() ? request.arguments[0].c_str() : request.program.c_str()),
          endWithStarter(request.endWithStarter), starter(getpid())
    {
        for (const std::string& argument : request.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (request.environment) {
            for (const std::string& entry : *request.environment)
                envp.push_back(const_cast<char*>(entry.c_str()));
            envp.push_back(nullptr);
        }
        rlimit limit {};
        descriptorLimit = getrlimit(RLIMIT_NOFILE, &limit) != 0 ? 1024
                          : limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > kMostDescriptors
                              ? kMostDescriptors
                              : static_cast<int>(limit.rlim_cur);
    }

    const char* program;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int streams[kStandardStreams] = {-1, -1, -1}; // the descriptors to give; -1 keeps ours
    bool endWithStarter;
    pid_t starter;
    int descriptorLimit;
};

// glibc 2.36 declares pidfd_open without C linkage, so the call is made
// directly. The descriptor is close-on-exec.
int OpenPidfd(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// The reports on the status pipes are far below PIPE_BUF, so each is
// written and read whole or not at all.
void WriteReport(int fd, const void* data, size_t size)
{
    while (write(fd, data, size) < 0 && errno == EINTR) {
    }
}

// False at the end of the pipe: the writer exec'd, or ended without a word.
bool ReadReport(int fd, void* data, size_t size)
{
    ssize_t got;
    while ((got = read(fd, data, size)) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(size);
}

int Reap(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Until exec the child still has our handlers: the program's stop handler
// would write the window's stop pipe. Signals stay blocked over the fork
// until the handlers are gone; ignored ones would stay ignored in the
// program, which would then never see a broken pipe or a stop.
void DefaultSignalHandlers()
{
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (signalNumber != SIGKILL && signalNumber != SIGSTOP)
            sigaction(signalNumber, &standard, nullptr);
    }
}

void MarkCloseOnExec(int fd)
{
    const int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC))
        fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

int DescriptorNumber(const char* name)
{
    int number = 0;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9' || number > kMostDescriptors)
            return -1;
        number = number * 10 + (*name - '0');
    }
    return number;
}

// Descriptors we hold for other purposes (other children's pipes above all)
// must not reach the program, or their readers would never see the end of
// their output. Kernels before 5.11 lack close_range's flag; then the open
// descriptors are listed, or, without /proc, every number below the limit.
void CloseOnExecFromThree(int limit)
{
    if (close_range(kStandardStreams, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    const int folder = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        alignas(dirent64) char buffer[4096];
        ssize_t got;
        while ((got = getdents64(folder, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                const int fd = DescriptorNumber(entry->d_name);
                if (fd >= kStandardStreams)
                    MarkCloseOnExec(fd);
            }
        }
        close(folder);
        if (got == 0)
            return;
    }
    for (int fd = kStandardStreams; fd < limit; ++fd)
        MarkCloseOnExec(fd);
}

// The given descriptors become 0, 1 and 2. Each is first copied above 2, so
// that one numbered 0 to 2 is not overwritten before its turn.
bool SetStreams(const int* streams)
{
    int moved[kStandardStreams];
    for (int i = 0; i < kStandardStreams; ++i) {
        moved[i] = streams[i] < 0 ? -1 : fcntl(streams[i], F_DUPFD_CLOEXEC, kStandardStreams);
        if (streams[i] >= 0 && moved[i] < 0)
            return false;
    }
    for (int i = 0; i < kStandardStreams; ++i) {
        if (moved[i] >= 0 && dup2(moved[i], i) < 0)
            return false;
    }
    return true;
}

[[noreturn]] void ReportAndExit(int statusFd)
{
    const int error = errno;
    WriteReport(statusFd, &error, sizeof error);
    _exit(kExitCannotStart);
}

// In the child, with every signal blocked. statusFd gets errno when the
// program cannot be started; exec closes it, which tells the starter it ran.
[[noreturn]] void BecomeProgram(const Prepared& prepared, ChildSession session, int statusFd)
{
    DefaultSignalHandlers();
    if (statusFd < kStandardStreams)
        statusFd = fcntl(statusFd, F_DUPFD_CLOEXEC, kStandardStreams);
    if (session == ChildSession::OwnGroup && setpgid(0, 0) != 0)
        ReportAndExit(statusFd);
    if (session == ChildSession::NewSession && setsid() < 0)
        ReportAndExit(statusFd);
    if (prepared.endWithStarter) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The starter may have ended before the signal was asked for.
        if (getppid() != prepared.starter)
            _exit(kExitCannotStart);
    }
    if (!SetStreams(prepared.streams))
        ReportAndExit(statusFd);
    CloseOnExecFromThree(prepared.descriptorLimit);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(prepared.program, prepared.argv.data(), prepared.envp.empty() ? environ : prepared.envp.data());
    ReportAndExit(statusFd);
}

// fork with every signal blocked in the calling thread until it returns.
pid_t ForkBlocked(int* error)
{
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = fork();
    if (pid == 0)
        return 0;
    *error = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return pid;
}

// Starts the program and waits for its exec; *error gets errno when it
// could not be started (and then it has been reaped).
pid_t StartProgram(const Prepared& prepared, ChildSession session, int* error)
{
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        *error = errno;
        return -1;
    }
    const pid_t pid = ForkBlocked(error);
    if (pid == 0)
        BecomeProgram(prepared, session, status[1]);
    close(status[1]);
    if (pid > 0 && ReadReport(status[0], error, sizeof *error)) {
        Reap(pid);
        close(status[0]);
        return -1;
    }
    close(status[0]);
    return pid;
}

int ExitStatusOf(const siginfo_t& info)
{
    return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
}

// The middle process of a detached start: leads a new session, starts the
// program in it, watches its first moments, reports, and ends, leaving the
// program to init.
[[noreturn]] void WatchDetached(const Prepared& prepared, int reportFd, int waitMs)
{
    DefaultSignalHandlers();
    LaunchResult result;
    setsid();
    const pid_t program = StartProgram(prepared, ChildSession::Same, &result.error);
    if (program > 0) {
        result.kind = LaunchResult::StillRunning;
        pollfd ended {OpenPidfd(program), POLLIN, 0};
        if (ended.fd >= 0)
            poll(&ended, 1, waitMs);
        siginfo_t info {};
        if (waitid(P_PID, static_cast<id_t>(program), &info, WEXITED | WNOHANG) == 0 && info.si_pid == program) {
            result.kind = LaunchResult::Exited;
            result.exitStatus = ExitStatusOf(info);
        }
    }
    WriteReport(reportFd, &result, sizeof result);
    _exit(0);
}

// The descriptors the request's streams name: the pipe's write end, /dev/null,
// or the caller's own. False, with errno, when one cannot be made.
bool OpenStreams(const SpawnRequest& request, Prepared& prepared, int* pipeEnds, int* nullFd)
{
    const int wanted[kStandardStreams] = {request.input, request.output, request.error};
    for (int i = 0; i < kStandardStreams; ++i) {
        if (wanted[i] == kOutputPipe && pipeEnds[1] < 0 && pipe2(pipeEnds, O_CLOEXEC) != 0)
            return false;
        if (wanted[i] == kNullStream && *nullFd < 0 && (*nullFd = open("/dev/null", O_RDWR | O_CLOEXEC)) < 0)
            return false;
        prepared.streams[i] = wanted[i] == kOutputPipe ? pipeEnds[1] : wanted[i] == kNullStream ? *nullFd : wanted[i];
    }
    return true;
}

} // namespace

SpawnedChild Spawn(const SpawnRequest& request)
{
    SpawnedChild child;
    if (request.arguments.empty()) {
        child.error = "no program to run";
        return child;
    }
    Prepared prepared(request);
    int pipeEnds[2] = {-1, -1};
    int nullFd = -1;
    int error = 0;
    pid_t pid = -1;
    if (!OpenStreams(request, prepared, pipeEnds, &nullFd)) {
        error = errno;
        child.failure = SpawnedChild::Failure::Pipe;
    } else {
        pid = StartProgram(prepared, request.session, &error);
    }
    CloseFd(pipeEnds[1]);
    CloseFd(nullFd);
    const int pidfd = pid > 0 ? OpenPidfd(pid) : -1;
    if (pid > 0 && pidfd < 0) {
        error = errno;
        kill(pid, SIGKILL);
        Reap(pid);
    }
    if (pidfd < 0) {
        CloseFd(pipeEnds[0]);
        child.error = std::strerror(error);
        return child;
    }
    child.failure = SpawnedChild::Failure::None;
    child.pid = pid;
    child.pidfd = pidfd;
    child.outputFd = pipeEnds[0];
    return child;
}

LaunchResult LaunchDetached(const std::vector<std::string>& arguments, int waitMs)
{
    LaunchResult result;
    if (arguments.empty()) {
        result.error = ENOENT;
        return result;
    }
    SpawnRequest request;
    request.arguments = arguments;
    request.output = kNullStream;
    request.error = kInheritStream;
    Prepared prepared(request);
    int unused[2] = {-1, -1};
    int nullFd = -1;
    int report[2];
    if (!OpenStreams(request, prepared, unused, &nullFd) || pipe2(report, O_CLOEXEC) != 0) {
        result.error = errno;
        CloseFd(nullFd);
        return result;
    }
    const pid_t middle = ForkBlocked(&result.error);
    if (middle == 0)
        WatchDetached(prepared, report[1], waitMs);
    close(report[1]);
    CloseFd(nullFd);
    if (middle > 0) {
        if (!ReadReport(report[0], &result, sizeof result))
            result = LaunchResult {LaunchResult::NotStarted, 0, ECHILD};
        Reap(middle);
    }
    close(report[0]);
    return result;
}
