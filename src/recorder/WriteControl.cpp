#include "recorder/WriteControl.h"

#include "process/ChildProcess.h"

#include <libburn/libburn.h>

void WriteControl::Cancel(uint64_t generation)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_)
        return;
    cancelled_ = true;
    // Only sets libburn's own stop flag and signals the tool, so this lock
    // is held a moment; the writing thread makes sure the tool ends.
    if (drive_ != nullptr)
        burn::burn_drive_cancel(drive_);
    if (child_ != nullptr)
        child_->RequestStop();
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
        child_->RequestStop();
}

uint64_t WriteControl::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    drive_ = nullptr;
    child_ = nullptr;
    cancelled_ = false;
    return ++generation_;
}
