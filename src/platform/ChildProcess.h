#pragma once
// A child process whose standard output and standard error share one pipe
// that the parent reads. The child gets /dev/null as standard input and a
// process group of its own, so stopping it also stops whatever it started.
// Every started child is known to a process-wide registry until it has been
// reaped, so the application can stop them all when it shuts down.

#include <cstddef>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    enum class StartResult { Started, PipeFailed, SpawnFailed };
    enum class WaitResult { Ready, Ended, TimedOut };

    ChildProcess() = default;
    // Stops the child if it still runs, reaps it and closes the pipe.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // arguments[0] is the program's path; no shell is involved. A program
    // that cannot be executed gives SpawnFailed, with the cause in *error.
    StartResult Start(const std::vector<std::string>& arguments, std::string* error = nullptr);

    enum class ReadResult { Data, Nothing, Ended };
    // Appends everything the child has written so far to out, without
    // waiting. Ended once every writer has closed the pipe and all is read.
    ReadResult ReadAvailable(std::string& out);

    // Waits at most timeoutMs for output to read or for its end; true when
    // there is something to take (data or the end).
    bool WaitReadable(int timeoutMs);

    // Waits at most timeoutMs for the child to exit, without reaping it.
    bool WaitForExit(int timeoutMs);

    // SIGTERM to the child's group, without waiting: callable from any
    // thread, also one that must not block.
    void RequestStop();

    // SIGTERM to the child's group, SIGKILL after a short grace. Callable
    // from any thread; does nothing once the child has been reaped.
    void Terminate();

    // Waits for the child to exit, stops anything it left running in its
    // group, reaps it and closes the pipe. Returns the wait status, -1 when
    // there was no child.
    int Finish();

    bool Running() const;

private:
    void TerminateLocked();
    void CloseReadEnd();

    mutable std::mutex mutex_;
    pid_t pid_ = -1; // a started, not yet reaped child; its group has the same id
    int readFd_ = -1;
};

// Terminates every child that is running now (the application's shutdown).
void StopAllChildProcesses();
