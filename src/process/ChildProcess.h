#pragma once
// A child process whose standard output and standard error share one pipe
// that the parent reads. The child gets /dev/null as standard input and a
// process group of its own, so stopping it also stops whatever it started,
// and it is stopped when the thread that started it ends.
//
// One thread owns the child: it starts, reads, waits, terminates and
// finishes it. Any other thread may only ask it to stop (RequestStop, Kill),
// which never waits. Every started child is known to a process-wide registry
// until it has been reaped, so the application can stop them all when it
// shuts down.

#include <chrono>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    enum class StartResult { Started, PipeFailed, SpawnFailed };

    ChildProcess() = default;
    // Terminates the child if it still runs, reaps it and closes the pipe.
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

    // Waits at most timeoutMs (-1: for ever) for output to read or for its
    // end; true when there is something to take (data or the end). Both
    // waits also end once a stop is requested, until Terminate answers it.
    bool WaitReadable(int timeoutMs);

    // Waits at most timeoutMs (-1: for ever) for the child to exit, without
    // reaping it; true when it has.
    bool WaitForExit(int timeoutMs);

    // SIGTERM (RequestStop) or SIGKILL (Kill) to the child's group, without
    // waiting: callable from any thread, also one that must not block. The
    // owner, woken from its wait, sees StopRequested and terminates it.
    void RequestStop();
    void Kill();
    bool StopRequested() const;

    // The owner's stop: SIGTERM to the group, and SIGKILL when the child has
    // not exited within the grace. Answers the stop requests so far.
    void Terminate(std::chrono::milliseconds grace = std::chrono::milliseconds(300));

    // Waits for the child to exit, stops anything it left running in its
    // group, reaps it and closes the pipe. Returns the wait status, -1 when
    // there was no child.
    int Finish();

    bool Running() const;

private:
    void Signal(int signalNumber);

    // Guards pid_ against other threads' signals: the child is reaped under
    // it, so a signal sent under it never reaches a recycled process id.
    mutable std::mutex mutex_;
    pid_t pid_ = -1; // a started, not yet reaped child; its group has the same id
    bool stopRequested_ = false;
    int stopFd_ = -1; // an eventfd that wakes the owner's waits
    // The owner's alone.
    int pidfd_ = -1;
    int readFd_ = -1;
};

// The application's shutdown: SIGTERM to every running child, SIGKILL to
// those still registered after grace. Waits at most the grace.
void StopAllChildProcesses(std::chrono::milliseconds grace = std::chrono::milliseconds(300));
