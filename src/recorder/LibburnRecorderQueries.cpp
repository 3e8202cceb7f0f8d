// The queries and short commands of LibburnRecorder. Each asks its unit under
// the lock; a unit being written answers at once that it is busy.

#include "recorder/LibburnRecorder.h"

#include "recorder/DiscTypes.h"
#include "recorder/RecorderRecords.h"
#include "recorder/RecorderUnit.h"

#include <cstring>

using namespace burn;

RecorderException LibburnRecorder::GetDeviceNameByDeviceAddress(uint8_t port, uint8_t bus,
                                                                uint8_t target, uint8_t lun,
                                                                unsigned char* record)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (record == nullptr)
        return RECORDER_INVALID_ARGUMENT;
    const int index = FindUnit(port, bus, target, lun);
    if (index < 0)
        return RECORDER_DEVICE_NOT_FOUND;
    std::memset(record, 0, RECORDER_DEVICE_NAME_RECORD_SIZE);
    CopyText(reinterpret_cast<char*>(record) + DEVICE_NAME_OFFSET,
             RECORDER_DEVICE_NAME_RECORD_SIZE - DEVICE_NAME_OFFSET, units_[index].unit->Identity().name);
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::GetDeviceInformation(GrabberHandle handle, char* vendor,
                                                        char* product, char* revision,
                                                        uint32_t* cacheSize)
{
    // Answered from what the scan found, also while the unit writes.
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr)
        return RECORDER_INVALID_HANDLE;
    const UnitIdentity& identity = units_[grabber->unit].unit->Identity();
    CopyText(vendor, RECORDER_ID_TEXT_SIZE, identity.vendor);
    CopyText(product, RECORDER_ID_TEXT_SIZE, identity.product);
    CopyText(revision, RECORDER_ID_TEXT_SIZE, identity.revision);
    if (cacheSize != nullptr)
        *cacheSize = identity.cacheSize;
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::TestUnitReady(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return Report(report, refusal, false);
    return Report(report, unit->Ready());
}

RecorderException LibburnRecorder::GetMediaCapacity(GrabberHandle handle, const CallReport& report, int64_t* bytes)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    int64_t capacity = 0;
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    const RecorderException exception =
        unit == nullptr ? Report(report, refusal, false) : Report(report, unit->Capacity(capacity));
    if (bytes != nullptr)
        *bytes = exception == RECORDER_SUCCESS ? capacity : 0;
    return exception;
}

int LibburnRecorder::GetInsertedDiscType(GrabberHandle handle)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return refusal.exception == RECORDER_INVALID_HANDLE ? DISC_TYPE_UNKNOWN : DISC_TYPE_NONE;
    return unit->DiscType();
}

RecorderException LibburnRecorder::GetSpeeds(GrabberHandle handle, const CallReport& report,
                                             uint32_t* currentReadSpeed, uint32_t* maxReadSpeed,
                                             uint32_t* currentWriteSpeed, uint32_t* maxWriteSpeed)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    Grabber* grabber = nullptr;
    RecorderUnit* unit = IdleUnitOf(handle, refusal, &grabber);
    if (unit == nullptr)
        return Report(report, refusal, false);
    UnitSpeeds speeds;
    const UnitResult result = unit->Speeds(speeds);
    if (!result.Ok())
        return Report(report, result);
    const uint32_t inForce = grabber->writeSpeedInForce != 0 ? grabber->writeSpeedInForce : speeds.highestWrite;
    if (currentReadSpeed != nullptr)
        *currentReadSpeed = speeds.read;
    if (maxReadSpeed != nullptr)
        *maxReadSpeed = speeds.read;
    if (currentWriteSpeed != nullptr)
        *currentWriteSpeed = inForce;
    if (maxWriteSpeed != nullptr)
        *maxWriteSpeed = speeds.highestWrite;
    return Report(report, result);
}

RecorderException LibburnRecorder::SetSpeeds(GrabberHandle handle, const CallReport& report, uint32_t,
                                             uint32_t writeSpeed)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    Grabber* grabber = nullptr;
    RecorderUnit* unit = IdleUnitOf(handle, refusal, &grabber);
    if (unit == nullptr)
        return Report(report, refusal, false);
    if (writeSpeed == 0)
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "a write speed of 0 was asked for"));
    uint32_t inForce = 0;
    const UnitResult result = unit->SetWriteSpeed(writeSpeed, inForce);
    if (result.Ok())
        grabber->writeSpeedInForce = inForce;
    return Report(report, result);
}

RecorderException LibburnRecorder::GetTrackInformation(GrabberHandle handle, const CallReport& report,
                                                       uint32_t track, unsigned char* record)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return Report(report, refusal, false);
    if (record == nullptr)
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no track information record"));
    std::memset(record, 0, RECORDER_TRACK_INFO_SIZE);
    return Report(report, unit->TrackInformation(track, record));
}

RecorderException LibburnRecorder::GetTOCInformation(GrabberHandle handle, const CallReport& report,
                                                     unsigned char* record)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return Report(report, refusal, false);
    if (record == nullptr)
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no table of contents record"));
    std::memset(record, 0, RECORDER_TOC_SIZE);
    return Report(report, unit->TableOfContents(record));
}

RecorderException LibburnRecorder::Eject(GrabberHandle handle, const CallReport& report)
{
    std::shared_ptr<RecorderUnit> unit;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        UnitResult refusal;
        Grabber* grabber = nullptr;
        if (IdleUnitOf(handle, refusal, &grabber) == nullptr)
            return Report(report, refusal, false);
        // The tray and the drive's fresh look at it take seconds.
        Unit& entry = units_[grabber->unit];
        entry.busyWith = "ejecting the disc";
        unit = entry.unit;
    }
    const UnitResult result = unit->Eject();
    EndBusy(unit);
    return Report(report, result);
}

RecorderException LibburnRecorder::CloseSession(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return Report(report, refusal, false);
    // The write closes the disc itself; what is left here is to be sure the
    // disc is still there.
    return Report(report, unit->Ready());
}

RecorderException LibburnRecorder::SendOPC(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    Grabber* grabber = nullptr;
    RecorderUnit* unit = IdleUnitOf(handle, refusal, &grabber);
    if (unit == nullptr)
        return Report(report, refusal, false);
    const UnitResult ready = unit->Ready();
    // libburn calibrates at the start of the write when asked to.
    if (ready.Ok())
        grabber->performOpc = true;
    return Report(report, ready);
}

RecorderException LibburnRecorder::GetBUP(GrabberHandle handle, const CallReport& report,
                                          uint8_t* enabled, uint8_t* supported)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    Grabber* grabber = nullptr;
    RecorderUnit* unit = IdleUnitOf(handle, refusal, &grabber);
    if (unit == nullptr)
        return Report(report, refusal, false);
    bool canProtect = false;
    const UnitResult result = unit->UnderrunProtection(canProtect);
    if (enabled != nullptr)
        *enabled = grabber->underrunProtection ? 1 : 0;
    if (supported != nullptr)
        *supported = canProtect ? 1 : 0;
    return Report(report, result);
}

RecorderException LibburnRecorder::SetBUP(GrabberHandle handle, const CallReport& report,
                                          uint8_t enable)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    Grabber* grabber = nullptr;
    if (IdleUnitOf(handle, refusal, &grabber) == nullptr)
        return Report(report, refusal, false);
    grabber->underrunProtection = enable != 0;
    return Report(report, UnitResult::Success());
}

RecorderException LibburnRecorder::ProbeSupportedWriteModes(GrabberHandle handle,
                                                            const CallReport& report,
                                                            uint8_t* trackAtOnce,
                                                            uint8_t* sessionAtOnce,
                                                            uint8_t* discAtOncePq,
                                                            uint8_t* discAtOnceRawPw)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    UnitResult refusal;
    RecorderUnit* unit = IdleUnitOf(handle, refusal);
    if (unit == nullptr)
        return Report(report, refusal, false);
    UnitWriteModes modes;
    const UnitResult result = unit->WriteModes(modes);
    if (trackAtOnce != nullptr)
        *trackAtOnce = modes.trackAtOnce;
    if (sessionAtOnce != nullptr)
        *sessionAtOnce = modes.sessionAtOnce;
    if (discAtOncePq != nullptr)
        *discAtOncePq = modes.sessionAtOnce;
    if (discAtOnceRawPw != nullptr)
        *discAtOnceRawPw = modes.raw;
    return Report(report, result);
}
