#pragma once
// A JobControl for work run directly by a test, without a job's thread:
// Cancel() runs the hooks as a job's cancel does.

#include "platform/Job.h"

#include <condition_variable>
#include <map>
#include <mutex>

class ManualJobControl final : public JobControl {
public:
    bool Cancelled() const override { return flag_.load() != 0; }
    const std::atomic<int>& CancelFlag() const override { return flag_; }

    int AddCancelHook(std::function<void()> hook) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const int id = next_++;
        if (Cancelled()) {
            lock.unlock();
            hook();
        } else {
            hooks_[id] = std::move(hook);
        }
        return id;
    }

    // Waits for a cancel's hooks that run, so that none runs once its
    // owner has gone.
    void RemoveCancelHook(int id) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        hooksDone_.wait(lock, [this] { return runningHooks_ == 0; });
        hooks_.erase(id);
    }

    void Cancel()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        flag_ = 1;
        ++runningHooks_;
        const std::map<int, std::function<void()>> hooks = hooks_;
        lock.unlock();
        for (auto& [id, hook] : hooks)
            hook();
        lock.lock();
        --runningHooks_;
        hooksDone_.notify_all();
    }

private:
    std::atomic<int> flag_{0};
    std::mutex mutex_;
    std::condition_variable hooksDone_;
    int runningHooks_ = 0;
    std::map<int, std::function<void()>> hooks_;
    int next_ = 0;
};
