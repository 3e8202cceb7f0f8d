#pragma once
// What a job's handle, its thread and its registry share. The thread keeps
// a reference until its work has returned, and the registry until it has
// joined the thread; a state is never destroyed on its own thread.

#include "platform/Job.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

struct Job::State final : JobControl {
    explicit State(std::string jobName) : name(std::move(jobName)) {}

    bool Cancelled() const override { return cancel.load() != 0; }
    const std::atomic<int>& CancelFlag() const override { return cancel; }

    int AddCancelHook(std::function<void()> hook) override
    {
        int id;
        {
            std::lock_guard<std::mutex> lock(mutex);
            id = nextHookId++;
            if (!Cancelled()) {
                hooks.emplace(id, std::move(hook));
                return id;
            }
        }
        hook();
        return id;
    }

    void RemoveCancelHook(int id) override
    {
        // A hook already taken by a cancel may still be running; what it
        // stops must outlive it, so its remover waits for it.
        std::unique_lock<std::mutex> lock(mutex);
        hooks.erase(id);
        hooksDone.wait(lock, [this] { return !runningHooks; });
    }

    // The hooks run with no lock held: they reach other objects, which
    // take locks of their own.
    void RequestCancel()
    {
        std::vector<std::function<void()>> toRun;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (cancel.exchange(1) != 0)
                return;
            for (auto& [id, hook] : hooks)
                toRun.push_back(hook);
            runningHooks = true;
        }
        for (auto& hook : toRun)
            hook();
        {
            std::lock_guard<std::mutex> lock(mutex);
            runningHooks = false;
        }
        hooksDone.notify_all();
    }

    // The completion once, unless the handle has gone.
    std::function<void()> TakeCompletion()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return abandoned ? nullptr : std::move(completion);
    }

    // What the handle's end drops, destroyed by the caller outside the lock.
    std::function<void()> Abandon()
    {
        std::lock_guard<std::mutex> lock(mutex);
        abandoned = true;
        return std::move(completion);
    }

    bool IsFinished()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return finished;
    }

    void WaitForEnd()
    {
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [this] { return finished; });
    }

    bool WaitUntil(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return ended.wait_until(lock, deadline, [this] { return finished; });
    }

    const std::string name;
    std::atomic<int> cancel{0};
    std::thread thread;

    std::mutex mutex;
    // Set on the thread that destroys the Job handle, which also drops the
    // completion: the result it holds (records, say) goes while the run
    // still stands, not whenever the UI's queue drops the posted call.
    bool abandoned = false;
    std::function<void()> completion;
    std::condition_variable ended;
    std::condition_variable hooksDone;
    bool finished = false;
    bool runningHooks = false;
    std::map<int, std::function<void()>> hooks;
    int nextHookId = 0;
};
