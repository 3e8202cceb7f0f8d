#include "platform/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <set>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// How long a terminated child may take to exit on SIGTERM before SIGKILL.
constexpr auto kTerminateGrace = std::chrono::milliseconds(300);
constexpr auto kExitPollStep = std::chrono::milliseconds(10);

std::mutex g_registryMutex;
std::set<ChildProcess*> g_registry;

void Register(ChildProcess* child)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry.insert(child);
}

void Unregister(ChildProcess* child)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry.erase(child);
}

std::string ErrnoText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// The child exited (it may not be reaped yet), without reaping it.
bool HasExited(pid_t pid)
{
    siginfo_t info {};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD;
    return info.si_pid == pid;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// Between fork and exec only async-signal-safe calls are allowed.
[[noreturn]] void ExecChild(char* const* argv, int outputFd, int statusFd, pid_t parent)
{
    setpgid(0, 0);
#ifdef __linux__
    // A program that is killed outright runs none of its own clean-up; the
    // kernel then stops the tool for it. The starting thread lives until the
    // child is reaped, so the signal never comes early.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
#endif
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    int nullFd = open("/dev/null", O_RDONLY);
    if (nullFd < 0 || dup2(nullFd, 0) < 0 || dup2(outputFd, 1) < 0 || dup2(outputFd, 2) < 0) {
        int error = errno;
        (void)!write(statusFd, &error, sizeof error);
        _exit(127);
    }
    // Descriptors the program holds for other purposes (other children's
    // pipes above all) must not reach this child, or their readers would
    // never see the end of their output.
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    execv(argv[0], argv);
    int error = errno;
    (void)!write(statusFd, &error, sizeof error);
    _exit(127);
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (Running())
        Terminate();
    Finish();
}

ChildProcess::StartResult ChildProcess::Start(const std::vector<std::string>& arguments, std::string* error)
{
    if (arguments.empty() || Running()) {
        if (error)
            *error = "no program to run";
        return StartResult::SpawnFailed;
    }
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        if (error)
            *error = ErrnoText(errno);
        return StartResult::PipeFailed;
    }
    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0) {
        if (error)
            *error = ErrnoText(errno);
        close(output[0]);
        close(output[1]);
        return StartResult::PipeFailed;
    }

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::unique_lock<std::mutex> lock(mutex_);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
        ExecChild(argv.data(), output[1], status[1], parent);
    int forkError = errno;
    close(output[1]);
    close(status[1]);
    if (pid < 0) {
        close(output[0]);
        close(status[0]);
        if (error)
            *error = ErrnoText(forkError);
        return StartResult::SpawnFailed;
    }
    // Also set here, so the group exists before anyone can signal it.
    setpgid(pid, pid);

    int execError = 0;
    ssize_t got;
    do
        got = read(status[0], &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
    close(status[0]);
    if (got > 0) {
        close(output[0]);
        int waitStatus;
        while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        if (error)
            *error = ErrnoText(execError);
        return StartResult::SpawnFailed;
    }
    // Read without blocking: the runner takes whatever has arrived at each
    // wake, however much that is.
    fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);
    pid_ = pid;
    readFd_ = output[0];
    lock.unlock();
    Register(this);
    return StartResult::Started;
}

ChildProcess::ReadResult ChildProcess::ReadAvailable(std::string& out)
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fd = readFd_;
    }
    if (fd < 0)
        return ReadResult::Ended;
    ReadResult result = ReadResult::Nothing;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, static_cast<size_t>(got));
            result = ReadResult::Data;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return result;
        // The end, or a read error, which ends the output all the same.
        return result == ReadResult::Data ? ReadResult::Data : ReadResult::Ended;
    }
}

bool ChildProcess::WaitReadable(int timeoutMs)
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fd = readFd_;
    }
    if (fd < 0)
        return true;
    pollfd entry {fd, POLLIN, 0};
    int ready = poll(&entry, 1, timeoutMs);
    return ready > 0;
}

bool ChildProcess::WaitForExit(int timeoutMs)
{
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pid = pid_;
    }
    if (pid <= 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (HasExited(pid))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kExitPollStep);
    }
}

void ChildProcess::RequestStop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ > 0)
        killpg(pid_, SIGTERM);
}

void ChildProcess::Terminate()
{
    std::lock_guard<std::mutex> lock(mutex_);
    TerminateLocked();
}

void ChildProcess::TerminateLocked()
{
    if (pid_ <= 0)
        return;
    // The leader is reaped only under this lock, so its id still names our
    // group here and cannot have been handed to another process.
    killpg(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + kTerminateGrace;
    while (!HasExited(pid_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kExitPollStep);
    killpg(pid_, SIGKILL);
}

int ChildProcess::Finish()
{
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pid = pid_;
    }
    int waitStatus = -1;
    if (pid > 0) {
        siginfo_t info {};
        while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        Unregister(this);
        std::lock_guard<std::mutex> lock(mutex_);
        // Whatever the child left behind in its group would be orphaned.
        killpg(pid, SIGKILL);
        while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    CloseReadEnd();
    return waitStatus;
}

void ChildProcess::CloseReadEnd()
{
    std::lock_guard<std::mutex> lock(mutex_);
    CloseFd(readFd_);
}

bool ChildProcess::Running() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pid_ > 0;
}

void StopAllChildProcesses()
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    for (ChildProcess* child : g_registry)
        child->Terminate();
}
