#pragma once
// The jobs of a run: each started job until its thread has been joined.
// The run's owner holds one and ends it before it destroys what the jobs
// work on: CancelAll and WaitForAll, or ShutDown, which also ends the UI
// thread's service to them.

#include "platform/Job.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class JobRegistry {
public:
    JobRegistry() = default;
    // EndAll: the jobs' work may reach whatever the owner destroys next.
    ~JobRegistry();
    JobRegistry(const JobRegistry&) = delete;
    JobRegistry& operator=(const JobRegistry&) = delete;

    // Runs work(control) on a new thread. When it has returned, onDone gets
    // its result on the UI thread, unless the Job object has been destroyed
    // before or the UI has shut down.
    template <class Result>
    std::unique_ptr<Job> Start(std::string name, std::function<Result(JobControl&)> work,
                               std::function<void(Result)> onDone)
    {
        return StartErased(std::move(name),
                           [work = std::move(work), onDone = std::move(onDone)](JobControl& control) {
                               auto result = std::make_shared<Result>(work(control));
                               return std::function<void()>([onDone, result] {
                                   if (onDone)
                                       onDone(std::move(*result));
                               });
                           });
    }

    // Asks every job that still runs to cancel; never waits.
    void CancelAll();
    // Waits for all jobs together for at most limit. Returns the names of
    // the jobs still running after that.
    std::vector<std::string> WaitForAll(std::chrono::milliseconds limit);
    // The end of the program's windows: sends to the UI thread fail from now
    // on (so no job can wait for a window that no longer answers), every job
    // is cancelled, and all are waited for within limit. Returns the names of
    // the jobs still running after that.
    std::vector<std::string> ShutDown(std::chrono::milliseconds limit);

    // Cancels every job and waits for all, however long. An owner that
    // cannot wait ends the program instead (AbandonStuckJobs).
    void EndAll();

    // Joins and forgets the jobs whose work has returned.
    void ReapFinished();

private:
    using ErasedWork = std::function<std::function<void()>(JobControl&)>;
    std::unique_ptr<Job> StartErased(std::string name, ErasedWork work);
    std::vector<std::shared_ptr<Job::State>> Snapshot();

    std::mutex mutex_;
    std::vector<std::shared_ptr<Job::State>> jobs_;
};
