#pragma once
// One CD/DVD recorder found by the recording library. Records live in the
// process-wide DeviceList and are shared, never copied: the library's event
// callbacks carry a pointer to the record, and the record owns its grabber.
// A record serialises the library calls made on it, so the list-filling
// worker and the UI thread can query the same recorder.

#include "burn/SpeedTables.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderRecords.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

using TrackInfoRecord = std::array<unsigned char, RECORDER_TRACK_INFO_SIZE>;

constexpr size_t DEVICE_TEXT_SIZE = 1024;
constexpr size_t DEVICE_NAME_SIZE = 256;

class CDevice {
public:
    CDevice() = default;
    explicit CDevice(const DeviceAddress& address);
    ~CDevice();
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    static bool InitStarBurnDll();
    static void FindDevices();
    // context: the std::vector<std::shared_ptr<CDevice>> being filled, or
    // nullptr to append to the process-wide list.
    static void FindDeviceCallback(int reason, void* context, void* param1, void* param2);

    bool CdvdBurnerGrabberCreate(RecorderCallback callback);
    void ReleaseGrabber();

    bool RefreshDeviceInfo();
    bool TestUnitReady();
    bool RefreshDiscType();
    bool GetTrackInfo(uint32_t track, TrackInfoRecord& record);
    bool RefreshMediaSize();
    bool RefreshMediaInfo();
    bool IsDiscBlank();
    bool GetWriteSpeeds(SpeedList& list);
    bool SetSpeed(uint32_t& speed);
    bool Eject();

    std::string GetVendorId() const;
    std::string GetProductId() const;
    std::string GetRevision() const;
    std::string GetDeviceName() const;
    uint32_t GetCacheSize() const;
    int GetDiscType() const;
    double GetMediaSize() const;
    uint16_t GetProgress() const;
    DeviceAddress GetAddress() const;
    bool HasGrabber() const;
    RecorderException GetLastException() const;
    std::string GetExceptionText() const;

private:
    bool EnsureGrabber();
    CallReport Report();
    void BeginCall();
    // Stores the call's exception number; true when the call succeeded.
    bool EndCall(RecorderException exception);
    // The write speed in force and the highest write speed.
    bool QuerySpeeds(uint32_t& writeInForce, uint32_t& highest);
    void ProbeSpeeds(const SpeedEntry* table, size_t rows, uint32_t highest, SpeedList& list);
    static void ListNominalSpeeds(uint32_t highest, SpeedList& list);

    mutable std::recursive_mutex mutex_;

    DeviceAddress address_{};
    GrabberHandle grabber_ = nullptr;
    char vendor_[DEVICE_TEXT_SIZE] = {};
    char product_[DEVICE_TEXT_SIZE] = {};
    char revision_[DEVICE_TEXT_SIZE] = {};
    char driveName_[DEVICE_NAME_SIZE] = {};
    uint32_t cacheSize_ = 0;
    int32_t discType_ = 0;
    double mediaSize_ = 0.0;
    std::atomic<int64_t> progress_{0};
    uint32_t status_ = 0;
    char exceptionText_[RECORDER_EXCEPTION_TEXT_SIZE] = {};
    FailureDetails failureDetails_{};
    RecorderException lastException_ = 0;
    int32_t trackCounter_ = 0;

    // The library that made grabber_, which is the one to release it.
    RecorderLibrary* grabberLibrary_ = nullptr;
    // False after the recorded size of a disc could not be read: such a disc
    // must not pass as blank.
    bool mediaSizeKnown_ = true;
};
