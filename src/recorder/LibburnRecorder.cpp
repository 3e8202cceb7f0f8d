#include "recorder/LibburnRecorder.h"

#include "recorder/DiscTypes.h"
#include "recorder/DriveScan.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/ImageFileUnit.h"
#include "recorder/RecorderRecords.h"
#include "recorder/RecorderUnit.h"

#include <libburn/libburn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace burn;

namespace {

// A write told to stop ends within seconds; the wait at shutdown is bounded
// all the same, for a drive that no longer answers.
constexpr auto kWriteStopLimit = std::chrono::seconds(20);

UnitResult Refuse(RecorderException exception, const std::string& text)
{
    return UnitResult::Failure(exception, text);
}

} // namespace

LibburnRecorder::~LibburnRecorder()
{
    Shutdown();
}

void LibburnRecorder::Shutdown()
{
    // At exit a worker may still be inside a scan; the process is not held
    // for it, and the system closes the drives' files in any case.
    std::unique_lock<std::timed_mutex> scanLock(scanMutex_, std::chrono::seconds(2));
    std::unique_lock<std::timed_mutex> lock(mutex_, std::chrono::seconds(2));
    if (!scanLock.owns_lock() || !lock.owns_lock() || !started_)
        return;
    std::vector<WriteToStop> writing;
    for (Unit& unit : units_) {
        if (unit.writing)
            writing.push_back({unit.unit, unit.writeGeneration});
    }
    if (!writing.empty()) {
        // Stopping a tool the write runs may take a moment; not under the lock.
        lock.unlock();
        for (const WriteToStop& write : writing)
            write.Stop();
        lock.lock();
    }
    if (!writeEnded_.wait_for(lock, kWriteStopLimit, [this] { return !AnyBusyLocked(); })) {
        lock.unlock();
        // libburn cannot be shut down under a write still in its hands.
        std::fprintf(stderr, "KANDRIX: a disc write did not stop; the drive is left to the system\n");
        return;
    }
    // libburn's writer thread goes on tidying up for a moment after its
    // drive reads as idle (a new write is refused meanwhile); finishing
    // libburn under it crashes that thread.
    const auto settled = lastWriteEnd_ + kWorkerSettle;
    if (std::chrono::steady_clock::now() < settled) {
        lock.unlock();
        std::this_thread::sleep_until(settled);
        lock.lock();
    }
    ReleaseAllLocked();
    units_.clear();
    SetLibburnUp(false);
    burn_finish();
    started_ = false;
}

RecorderException LibburnRecorder::UpStartEx()
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (started_)
        return RECORDER_SUCCESS;
    if (burn_initialize() == 0)
        return RECORDER_START_FAILED;
    // Messages are fetched into the calls' exception texts, not printed.
    burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"),
                             const_cast<char*>("libburn: "));
    SetLibburnUp(true);
    started_ = true;
    return RECORDER_SUCCESS;
}

void LibburnRecorder::ReleaseAllLocked()
{
    for (auto& entry : grabbers_)
        *entry.second->silenced = true;
    grabbers_.clear();
    {
        std::lock_guard<std::mutex> stopLock(stopMutex_);
        stops_.clear();
    }
    for (Unit& unit : units_) {
        unit.grabCount = 0;
        unit.unit->LetGo();
    }
}

bool LibburnRecorder::AnyBusyLocked() const
{
    for (const Unit& unit : units_) {
        if (unit.busyWith != nullptr)
            return true;
    }
    return false;
}

void LibburnRecorder::EndBusy(const std::shared_ptr<RecorderUnit>& unit)
{
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        for (Unit& entry : units_) {
            if (entry.unit != unit)
                continue;
            if (entry.writing)
                lastWriteEnd_ = std::chrono::steady_clock::now();
            entry.busyWith = nullptr;
            entry.writing = false;
            if (entry.grabCount == 0)
                entry.unit->LetGo();
        }
    }
    writeEnded_.notify_all();
}

RecorderException LibburnRecorder::FindDevice(int scsiType, int flags, RecorderCallback callback,
                                              void* context)
{
    std::unique_lock<std::timed_mutex> scanLock(scanMutex_);
    bool busy = false;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        if (!started_)
            return RECORDER_NOT_STARTED;
        if (scsiType != RECORDER_SCSI_TYPE_CDVD || callback == nullptr)
            return RECORDER_INVALID_ARGUMENT;
        // A scan would take the drive from under a write or an eject.
        busy = AnyBusyLocked();
        if (!busy) {
            // A scan invalidates every drive libburn handed out before, so
            // the grabbers of the previous search end here.
            ReleaseAllLocked();
            units_.clear();
        }
    }
    if (busy) {
        std::fprintf(stderr, "KANDRIX: no drive search while a drive is in use\n");
        return RECORDER_COMMAND_FAILED;
    }
    (void)flags;
    // The scan can take long; it runs without the lock so that calls from
    // the UI thread meanwhile fail at once (no unit, no grabber) instead of
    // freezing the window until it is done.
    std::vector<std::shared_ptr<RecorderUnit>> drives;
    std::string error;
    if (!ScanDrives(drives, error))
        std::fprintf(stderr, "KANDRIX: the drive scan failed: %s\n", error.c_str());
    drives.push_back(std::make_shared<ImageFileUnit>());
    std::vector<Unit> scanned;
    for (auto& drive : drives) {
        Unit unit;
        unit.unit = std::move(drive);
        scanned.push_back(std::move(unit));
    }

    std::vector<DeviceAddress> found;
    for (const Unit& unit : scanned)
        found.push_back(unit.unit->Identity().address);
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        units_ = std::move(scanned);
    }
    scanLock.unlock();
    // Called without the lock: a callback may well ask the library more.
    for (DeviceAddress& address : found)
        callback(RECORDER_REASON_DEVICE_FOUND, context, &address, nullptr);
    return RECORDER_SUCCESS;
}

int LibburnRecorder::FindUnit(uint8_t port, uint8_t bus, uint8_t target, uint8_t lun) const
{
    for (size_t i = 0; i < units_.size(); ++i) {
        if (SameAddress(units_[i].unit->Identity().address, port, bus, target, lun))
            return static_cast<int>(i);
    }
    return -1;
}

LibburnRecorder::Grabber* LibburnRecorder::FindGrabber(GrabberHandle handle)
{
    const auto it = grabbers_.find(reinterpret_cast<uintptr_t>(handle));
    return it != grabbers_.end() ? it->second.get() : nullptr;
}

// The unit a grabber's query may use now, or why not. A unit being written
// answers at once that it is busy rather than wait for the write.
RecorderUnit* LibburnRecorder::IdleUnitOf(GrabberHandle handle, UnitResult& refusal, Grabber** found)
{
    Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr) {
        refusal = Refuse(RECORDER_INVALID_HANDLE, "the recorder was released or never opened");
        return nullptr;
    }
    Unit& unit = units_[grabber->unit];
    if (unit.busyWith != nullptr) {
        refusal = Refuse(RECORDER_UNIT_NOT_READY, unit.unit->Identity().name + " is busy " + unit.busyWith);
        return nullptr;
    }
    DiscardLibburnMessages();
    if (!unit.unit->Acquired()) {
        refusal = Refuse(RECORDER_GRAB_FAILED, "the drive " + unit.unit->Identity().name +
                                                   " is no longer acquired");
        return nullptr;
    }
    if (found != nullptr)
        *found = grabber;
    return unit.unit.get();
}

RecorderException LibburnRecorder::CdvdBurnerGrabberCreate(GrabberHandle* handle,
                                                           const CallReport& report,
                                                           RecorderCallback eventCallback,
                                                           void* context, uint8_t port, uint8_t bus,
                                                           uint8_t target, uint8_t lun, int)
{
    std::shared_ptr<RecorderUnit> unit;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        if (handle == nullptr)
            return Report(report, Refuse(RECORDER_INVALID_ARGUMENT, "no place for the recorder handle"));
        *handle = nullptr;
        if (!started_)
            return Report(report, Refuse(RECORDER_NOT_STARTED, "the recording library is not started"));
        const int index = FindUnit(port, bus, target, lun);
        if (index < 0) {
            char text[96];
            std::snprintf(text, sizeof text, "no recorder at SCSI address %d:%d:%d:%d", port, bus, target,
                          lun);
            return Report(report, Refuse(RECORDER_DEVICE_NOT_FOUND, text));
        }
        Unit& entry = units_[index];
        if (entry.busyWith != nullptr)
            return Report(report,
                          Refuse(RECORDER_UNIT_NOT_READY,
                                 entry.unit->Identity().name + " is busy " + entry.busyWith),
                          false);
        if (entry.unit->Acquired()) {
            AddGrabberLocked(entry, handle, eventCallback, context);
            return Report(report, UnitResult::Success());
        }
        // Acquiring a drive can take seconds (it may spin up); meanwhile the
        // rest of the library answers.
        entry.busyWith = "being opened";
        unit = entry.unit;
    }
    const UnitResult acquired = unit->Acquire();
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        for (Unit& entry : units_) {
            if (entry.unit != unit)
                continue;
            entry.busyWith = nullptr;
            if (acquired.Ok())
                AddGrabberLocked(entry, handle, eventCallback, context);
        }
    }
    writeEnded_.notify_all();
    return Report(report, acquired);
}

void LibburnRecorder::AddGrabberLocked(Unit& unit, GrabberHandle* handle, RecorderCallback eventCallback,
                                       void* context)
{
    ++unit.grabCount;
    auto grabber = std::make_unique<Grabber>();
    grabber->unit = static_cast<size_t>(&unit - units_.data());
    grabber->eventCallback = eventCallback;
    grabber->context = context;
    const uintptr_t id = nextHandle_++;
    *handle = reinterpret_cast<GrabberHandle>(id);
    grabbers_.emplace(id, std::move(grabber));
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    stops_.emplace(id, StopEntry{});
}

RecorderException LibburnRecorder::CdvdBurnerGrabberRelease(GrabberHandle* handle)
{
    WriteToStop orphanedWrite;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        if (handle == nullptr)
            return RECORDER_INVALID_ARGUMENT;
        const auto it = grabbers_.find(reinterpret_cast<uintptr_t>(*handle));
        *handle = nullptr;
        if (it == grabbers_.end())
            return RECORDER_INVALID_HANDLE;
        *it->second->silenced = true;
        Unit& unit = units_[it->second->unit];
        {
            std::lock_guard<std::mutex> stopLock(stopMutex_);
            stops_.erase(it->first);
        }
        grabbers_.erase(it);
        if (--unit.grabCount <= 0) {
            unit.grabCount = 0;
            // A write nobody owns any more is stopped; it lets go of the
            // unit itself when it is done.
            if (unit.writing)
                orphanedWrite = {unit.unit, unit.writeGeneration};
            else
                unit.unit->LetGo();
        }
    }
    orphanedWrite.Stop();
    return RECORDER_SUCCESS;
}
