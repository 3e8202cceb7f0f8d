#pragma once
// One CD/DVD recorder found by the recording library. Records live in the
// run's recorder list (DeviceList) and are shared, never copied: the
// library's event callbacks carry a pointer to the record, and the record
// owns its grabber. The library outlives every record made from it.
//
// Three locks, none ever held while logging or calling back:
// - the facts lock guards what the window reads (identification, disc type,
//   media size, the last call's outcome) and is held only to copy fields, so
//   a window never waits for the recorder;
// - the I/O lock serialises the library calls on the grabber. A write is not
//   made under it, because its events log: while a write runs, the record
//   refuses other calls at once instead of waiting for the disc;
// - the burn lock guards who burns and the grabber a cancel must reach. It
//   is held only to read or set these, never across a library call, so a
//   cancel never waits for a burn.

#include "burn/BurnOptions.h"
#include "platform/StepResult.h"
#include "recorder/SpeedTables.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderRecords.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class DeviceList;

using TrackInfoRecord = std::array<unsigned char, RECORDER_TRACK_INFO_SIZE>;

constexpr size_t DEVICE_TEXT_SIZE = 1024;
constexpr size_t DEVICE_NAME_SIZE = 256;

// What is known of a recorder, as the last refresh left it.
struct RecorderFacts {
    std::string vendor;
    std::string product;
    std::string revision;
    std::string driveName;
    uint32_t cacheSize = 0;
    int32_t discType = 0;
    double mediaSize = 0.0;
    // False after the recorded size of a disc could not be read: such a disc
    // must not pass as blank.
    bool mediaSizeKnown = true;
    // What the disc can still take, in bytes; 0 when the unit cannot tell.
    int64_t mediaCapacity = 0;
    bool discBlank = false;
    // The write speeds the last probe found the disc takes, slowest first.
    SpeedList writeSpeeds;
    bool hasGrabber = false;
    RecorderException lastException = 0;
    uint32_t status = 0;
    std::string exceptionText;
    FailureDetails failureDetails{};
};

class CDevice {
public:
    // How one kind of burn names itself in its log lines.
    struct BurnTexts;

    CDevice(RecorderLibrary& library, const DeviceAddress& address);
    ~CDevice();
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    static bool InitStarBurnDll(RecorderLibrary& library);
    // Replaces the records of list with the recorders library finds now.
    static void FindDevices(RecorderLibrary& library, DeviceList& list);

    bool CdvdBurnerGrabberCreate(RecorderCallback callback);
    void ReleaseGrabber();

    bool RefreshDeviceInfo();
    bool TestUnitReady();
    bool RefreshDiscType();
    bool GetTrackInfo(uint32_t track, TrackInfoRecord& record);
    bool RefreshMediaSize();
    // The disc's type and size, and whether it is blank, which for a
    // write-once disc means asking the drive.
    bool RefreshMediaInfo();
    // As the last RefreshMediaInfo found it: the window asks without
    // waiting for the drive.
    bool IsDiscBlank() const;
    // Probes the speeds the disc takes, which may take a while: the search
    // job does it, and the window reads what it found (GetWriteSpeeds).
    bool RefreshWriteSpeeds();
    bool SetSpeed(uint32_t& speed);
    StepResult Eject();

    // The burns run on the burn worker and block until the disc is written.
    // options.speed becomes the speed in force. A failure carries the
    // recording library's words.
    StepResult BurnDVDVideo(BurnOptions& options, const std::string& folder);
    StepResult BurnVideoCD(BurnOptions& options, const std::string& source);
    StepResult BurnSuperVideoCD(BurnOptions& options, const std::string& source);
    // The image the last burn made on the image-file recorder (path "" when
    // it made none), with the descriptor that holds it; the caller closes it.
    WrittenImage TakeWrittenImage();
    // The event handlers of the burns' grabbers, and the plain functions the
    // library calls, with the record as context.
    void DVDVideoBurnCallback(int reason, void* param1, void* param2);
    void BurnCallback(int reason, void* param1, void* param2);
    static void DVDVideoBurnEvent(int reason, void* context, void* param1, void* param2);
    static void BurnEvent(int reason, void* context, void* param1, void* param2);
    // Any thread, returns at once: stops the running burn's write, or the
    // running burn before it writes. Nothing happens while no burn runs.
    void CancelBurn();

    RecorderFacts GetFacts() const;
    std::string GetVendorId() const;
    std::string GetProductId() const;
    std::string GetRevision() const;
    std::string GetDeviceName() const;
    uint32_t GetCacheSize() const;
    int GetDiscType() const;
    double GetMediaSize() const;
    int64_t GetMediaCapacity() const;
    SpeedList GetWriteSpeeds() const;
    // The recording library's image-file recorder rather than a drive.
    bool IsImageFileRecorder() const;
    uint16_t GetProgress() const;
    DeviceAddress GetAddress() const;
    bool HasGrabber() const;
    RecorderException GetLastException() const;
    std::string GetExceptionText() const;

private:
    // One library call's outcome, filled outside the facts and published
    // after the call.
    struct CallResult {
        RecorderException exception = RECORDER_SUCCESS;
        uint32_t status = RECORDER_STATUS_UNSET;
        char text[RECORDER_EXCEPTION_TEXT_SIZE] = {};
        FailureDetails details{};

        CallReport Report() { return CallReport{text, sizeof text, &status, &details}; }
        bool Ok() const { return exception == RECORDER_SUCCESS; }
        // The text is logged and handed out; a library that filled the whole
        // buffer must not run a reader past it.
        bool End(RecorderException e)
        {
            exception = e;
            text[sizeof text - 1] = '\0';
            return Ok();
        }
        void Refuse(const char* why);
    };
    enum class Access { Ready, Busy, NoGrabber };
    using GrabberOp = std::function<RecorderException(RecorderLibrary&, GrabberHandle, const CallReport&)>;

    // Under the I/O lock.
    Access AccessLocked(CallResult& create);
    bool CreateGrabberLocked(RecorderCallback callback, CallResult& result);
    bool CreateGrabber(RecorderCallback callback, CallResult& result);
    void ReleaseGrabberLocked();
    bool QuerySpeedsLocked(uint32_t& writeInForce, uint32_t& highest, CallResult& result);
    bool GetTrackInfoLocked(uint32_t track, TrackInfoRecord& record, CallResult& result);

    // Logs a failed grabber creation; false in every case.
    static bool Refused(Access access, const CallResult& create);
    static void LogCreateFailure(const CallResult& result);
    static void LogTrackInfoFailure(const CallResult& result);
    // One call on the grabber, made under the I/O lock. Access::Ready when it
    // was made; result then holds its outcome, else why it was not made.
    Access GrabberCall(CallResult& result, const GrabberOp& call);
    // The same, true when the call was made and worked.
    bool CallOk(CallResult& result, const GrabberOp& call);
    // The write of a burn: made outside the I/O lock, reachable by CancelBurn.
    bool WriteCall(CallResult& result, const GrabberOp& write);
    void Publish(const CallResult& result);

    static void FindDeviceCallback(int reason, void* context, void* param1, void* param2);
    bool ProbeBlank();
    void ProbeDiscSpeeds(uint32_t highest, SpeedList& list);
    void ProbeSpeeds(const SpeedEntry* table, size_t rows, uint32_t highest, SpeedList& list);
    static void ListNominalSpeeds(uint32_t highest, SpeedList& list);

    bool ClaimBurn();
    void EndBurn();
    // Runs burn unless another burn runs on this record.
    StepResult BurnAlone(const BurnOptions& options, const std::function<StepResult()>& burn);
    StepResult CreateDVDVideo(const BurnOptions& options, const std::string& folder, DvdVideoHandle* handle);
    StepResult StartBurnGrabber(RecorderCallback callback);
    StepResult ProbeTrackAtOnce();
    StepResult WriteDVDVideo(DvdVideoHandle dvdVideo, const std::string& imageFolder);
    StepResult CloseDVDVideoSession();
    StepResult VerifyDisc();
    bool CancelRequested();
    static void LogWriteFailure(const BurnTexts& texts, const CallResult& result);
    StepResult CheckUnitReady(const BurnTexts& texts);
    StepResult PrepareWrite(const BurnTexts& texts, BurnOptions& options);
    void SetBurnSpeed(const BurnTexts& texts, BurnOptions& options);
    void SendOpc(const BurnTexts& texts);
    StepResult BurnVideoCDKind(const BurnTexts& texts, BurnOptions& options, const std::string& source);
    void HandleBurnEvent(const char* who, int reason, void* param1, void* param2, bool videoCd);
    void HandleProgress(void* param1, void* param2);

    RecorderLibrary& library_;
    const DeviceAddress address_{};

    mutable std::mutex factsMutex_;
    RecorderFacts facts_;

    std::mutex ioMutex_;
    GrabberHandle grabber_ = nullptr;
    bool writing_ = false;

    std::mutex burnMutex_;
    bool burning_ = false;
    bool cancelRequested_ = false;
    GrabberHandle writeGrabber_ = nullptr;

    // Written by the burn's events, read by the burn page's timer.
    std::atomic<int64_t> progress_{0};
    // The burn will read the disc back, whose line then carries the MD5.
    std::atomic<bool> verifyAfterWrite_{false};
    std::atomic<int32_t> trackCounter_{0};
};
