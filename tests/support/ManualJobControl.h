#pragma once
// A JobControl for work run directly by a test, without a job's thread:
// Cancel() runs the hooks as a job's cancel does.

#include "platform/Job.h"

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

    void RemoveCancelHook(int id) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hooks_.erase(id);
    }

    void Cancel()
    {
        std::map<int, std::function<void()>> hooks;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            flag_ = 1;
            hooks = hooks_;
        }
        for (auto& [id, hook] : hooks)
            hook();
    }

private:
    std::atomic<int> flag_{0};
    std::mutex mutex_;
    std::map<int, std::function<void()>> hooks_;
    int next_ = 0;
};
