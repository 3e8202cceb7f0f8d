#include "recorder/WriteControl.h"

#include "platform/ChildProcess.h"

#include <libburn/libburn.h>

void WriteControl::Cancel(uint64_t generation)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_)
        return;
    cancelled_ = true;
    // Only sets libburn's own stop flag, so this lock is held a moment.
    if (drive_ != nullptr)
        burn::burn_drive_cancel(drive_);
    if (child_ != nullptr)
        child_->Terminate();
}

void WriteControl::SetDrive(burn::burn_drive* drive)
{
    std::lock_guard<std::mutex> lock(mutex_);
    drive_ = drive;
    if (drive_ != nullptr && cancelled_)
        burn::burn_drive_cancel(drive_);
}

void WriteControl::SetChild(ChildProcess* child)
{
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = child;
    if (child_ != nullptr && cancelled_)
        child_->Terminate();
}

uint64_t WriteControl::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    drive_ = nullptr;
    child_ = nullptr;
    cancelled_ = false;
    return ++generation_;
}
