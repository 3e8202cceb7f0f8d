#pragma once
// The scripted recording library with a gate before its device search, so a
// test can hold a recorder search while it looks at the page.

#include "burn/FakeRecorderLibrary.h"

#include <condition_variable>
#include <mutex>

class GatedRecorderLibrary : public FakeRecorderLibrary {
public:
    void CloseGate()
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        open_ = false;
    }
    void OpenGate()
    {
        {
            std::lock_guard<std::mutex> lock(gateMutex_);
            open_ = true;
        }
        gateChanged_.notify_all();
    }
    bool SearchWaiting() const
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        return waiting_;
    }
    int Searches() const
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        return searches_;
    }

    RecorderException FindDevice(int scsiType, int flags, RecorderCallback callback, void* context) override
    {
        {
            std::unique_lock<std::mutex> lock(gateMutex_);
            ++searches_;
            waiting_ = true;
            gateChanged_.wait(lock, [this] { return open_; });
            waiting_ = false;
        }
        return FakeRecorderLibrary::FindDevice(scsiType, flags, callback, context);
    }

private:
    mutable std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    bool open_ = true;
    bool waiting_ = false;
    int searches_ = 0;
};
