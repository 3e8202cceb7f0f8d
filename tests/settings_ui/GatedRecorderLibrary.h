#pragma once
// The scripted recording library with a gate before its device search, so a
// test can hold a recorder search while it looks at the page.

#include "burn/MockRecorderLibrary.h"

#include <condition_variable>
#include <mutex>

class GatedRecorderLibrary : public ScriptedRecorder {
public:
    GatedRecorderLibrary()
    {
        ON_CALL(*this, FindDevice).WillByDefault([this](int, int, RecorderCallback callback, void* context) {
            {
                std::unique_lock<std::mutex> lock(gateMutex_);
                ++searches_;
                waiting_ = true;
                gateChanged_.wait(lock, [this] { return open_; });
                waiting_ = false;
            }
            for (DeviceAddress address : devices)
                callback(RECORDER_REASON_DEVICE_FOUND, context, &address, nullptr);
            return RECORDER_SUCCESS;
        });
    }

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

private:
    mutable std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    bool open_ = true;
    bool waiting_ = false;
    int searches_ = 0;
};
