#pragma once
// A piece of long work (a conversion, a recorder search, a burn) on a thread
// of its own. The job gets its input by value, can be asked to cancel, can be
// waited for with a time limit, and hands its result to the UI thread in a
// posted completion. Pages start jobs (JobRegistry::Start) and handle
// completions; they never wait for one. The registry that started a job
// knows it until its thread has been joined, so that the run's end can
// cancel them all and wait for them within a bound.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

// What the work sees of its job.
class JobControl {
public:
    virtual ~JobControl() = default;
    virtual bool Cancelled() const = 0;
    // For loops that look at the request themselves; non-zero once cancelled.
    virtual const std::atomic<int>& CancelFlag() const = 0;
    // hook runs on the thread that asks for the cancel (often the UI thread),
    // at once when the job is cancelled already, with no lock of the job
    // held. It must only start the stopping (a signal, a library's cancel
    // request), never wait for it: the job's own thread sees it through.
    // Returns a number for RemoveCancelHook, which waits for a hook that runs.
    virtual int AddCancelHook(std::function<void()> hook) = 0;
    virtual void RemoveCancelHook(int id) = 0;
};

// Adds a cancel hook for the lifetime of the guard.
class CancelHookGuard {
public:
    CancelHookGuard(JobControl* control, std::function<void()> hook)
        : control_(control), id_(control ? control->AddCancelHook(std::move(hook)) : -1)
    {
    }
    ~CancelHookGuard()
    {
        if (control_)
            control_->RemoveCancelHook(id_);
    }
    CancelHookGuard(const CancelHookGuard&) = delete;
    CancelHookGuard& operator=(const CancelHookGuard&) = delete;

private:
    JobControl* control_;
    int id_;
};

class JobRegistry;

class Job {
public:
    // Asks the job to cancel; never waits. The completion still comes.
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    const std::string& Name() const;
    void Cancel();
    bool Cancelled() const;
    // True once the work has returned (the completion may still be queued).
    bool Finished() const;
    // Waits at most limit for the work to return; true when it has. Not for
    // the UI thread in normal use: only the shutdown and tests wait.
    bool Wait(std::chrono::milliseconds limit);

    struct State;

private:
    friend class JobRegistry;
    Job(std::shared_ptr<State> state, JobRegistry& registry);

    std::shared_ptr<State> state_;
    JobRegistry& registry_;
};
