#include "process/ChildProcess.h"

#include "process/Spawn.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::mutex g_registryMutex;
std::condition_variable g_registryShrank;
std::set<ChildProcess*> g_registry;

void Register(ChildProcess* child)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry.insert(child);
}

void Unregister(ChildProcess* child)
{
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        g_registry.erase(child);
    }
    g_registryShrank.notify_all();
}

// Waits at most timeoutMs (-1: for ever) for fd to be readable, or for
// wakeFd when it is given, through interruptions; true when fd is.
bool PollReadable(int fd, int timeoutMs, int wakeFd = -1)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entries[] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = poll(entries, wakeFd < 0 ? 1 : 2, timeoutMs);
        if (ready >= 0 || errno != EINTR)
            return ready > 0 && entries[0].revents != 0;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
    }
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
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
    if (Running()) {
        if (error)
            *error = "a program runs already";
        return StartResult::SpawnFailed;
    }
    SpawnRequest request;
    request.arguments = arguments;
    request.endWithStarter = true;
    const SpawnedChild child = Spawn(request);
    if (child.failure != SpawnedChild::Failure::None) {
        if (error)
            *error = child.error;
        return child.failure == SpawnedChild::Failure::Pipe ? StartResult::PipeFailed : StartResult::SpawnFailed;
    }
    // Read without blocking: the runner takes whatever has arrived at each
    // wake, however much that is.
    fcntl(child.outputFd, F_SETFL, fcntl(child.outputFd, F_GETFL) | O_NONBLOCK);
    pidfd_ = child.pidfd;
    readFd_ = child.outputFd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pid_ = child.pid;
        stopRequested_ = false;
        stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    Register(this);
    return StartResult::Started;
}

ChildProcess::ReadResult ChildProcess::ReadAvailable(std::string& out)
{
    if (readFd_ < 0)
        return ReadResult::Ended;
    ReadResult result = ReadResult::Nothing;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(readFd_, buffer, sizeof buffer);
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
    return readFd_ < 0 || PollReadable(readFd_, timeoutMs, stopFd_);
}

bool ChildProcess::WaitForExit(int timeoutMs)
{
    return pidfd_ < 0 || PollReadable(pidfd_, timeoutMs, stopFd_);
}

void ChildProcess::RequestStop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ <= 0)
        return;
    killpg(pid_, SIGTERM);
    stopRequested_ = true;
    const uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
}

bool ChildProcess::StopRequested() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stopRequested_;
}

void ChildProcess::Kill()
{
    Signal(SIGKILL);
}

void ChildProcess::Signal(int signalNumber)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pid_ > 0)
        killpg(pid_, signalNumber);
}

void ChildProcess::Terminate(std::chrono::milliseconds grace)
{
    // This answers the stop requests so far: the waits are quiet again.
    uint64_t requests = 0;
    if (stopFd_ >= 0)
        (void)!read(stopFd_, &requests, sizeof requests);
    Signal(SIGTERM);
    if (pidfd_ >= 0 && !PollReadable(pidfd_, static_cast<int>(grace.count())))
        Kill();
}

int ChildProcess::Finish()
{
    int waitStatus = -1;
    if (pidfd_ >= 0) {
        // A stop asked for while we wait is seen to here.
        while (!PollReadable(pidfd_, -1, stopFd_))
            Terminate();
        Unregister(this);
        std::lock_guard<std::mutex> lock(mutex_);
        // Whatever the child left behind in its group would be orphaned.
        killpg(pid_, SIGKILL);
        while (waitpid(pid_, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        CloseFd(stopFd_);
    }
    CloseFd(pidfd_);
    CloseFd(readFd_);
    return waitStatus;
}

bool ChildProcess::Running() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pid_ > 0;
}

void StopAllChildProcesses(std::chrono::milliseconds grace)
{
    // A child is reaped only after it has left the registry, so each one
    // named here still has its process id.
    std::unique_lock<std::mutex> lock(g_registryMutex);
    for (ChildProcess* child : g_registry)
        child->RequestStop();
    g_registryShrank.wait_for(lock, grace, [] { return g_registry.empty(); });
    for (ChildProcess* child : g_registry)
        child->Kill();
}
