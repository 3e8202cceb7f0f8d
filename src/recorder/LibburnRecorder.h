#pragma once
// The recording library over libburn. Units are found by one bus scan per
// search and then let go, so that no drive stays locked between uses; a
// grabber acquires its unit when created and the unit is let go when the
// last grabber of it goes. This class keeps the registry of units and
// grabbers and their lock; each unit (a drive, the image-file recorder)
// answers for itself. A write runs without the lock: meanwhile other units
// answer as usual, and the unit being written says it is busy.

#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderUnit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct UnitResult;
struct WriteSettings;
struct WriteEvents;


// libburn is process-global: at most one of these may be alive at a time.
// The run's state owns the program's one; a test makes its own.
class LibburnRecorder : public RecorderLibrary {
public:
    LibburnRecorder() = default;
    ~LibburnRecorder() override;
    LibburnRecorder(const LibburnRecorder&) = delete;
    LibburnRecorder& operator=(const LibburnRecorder&) = delete;

    // Stops a write that runs and waits a bounded time for it, releases every
    // unit and shuts libburn down; later calls fail cleanly.
    void Shutdown() override;

    RecorderException UpStartEx() override;
    RecorderException FindDevice(int scsiType, int flags, RecorderCallback callback,
                                 void* context) override;
    RecorderException CdvdBurnerGrabberCreate(GrabberHandle* handle, const CallReport& report,
                                              RecorderCallback eventCallback, void* context,
                                              uint8_t port, uint8_t bus, uint8_t target, uint8_t lun,
                                              int cacheFlag) override;
    RecorderException CdvdBurnerGrabberRelease(GrabberHandle* handle) override;
    RecorderException GetDeviceNameByDeviceAddress(uint8_t port, uint8_t bus, uint8_t target,
                                                   uint8_t lun, unsigned char* record) override;
    RecorderException GetDeviceInformation(GrabberHandle handle, char* vendor, char* product,
                                           char* revision, uint32_t* cacheSize) override;
    RecorderException TestUnitReady(GrabberHandle handle, const CallReport& report) override;
    int GetInsertedDiscType(GrabberHandle handle) override;
    RecorderException GetSpeeds(GrabberHandle handle, const CallReport& report,
                                uint32_t* currentReadSpeed, uint32_t* maxReadSpeed,
                                uint32_t* currentWriteSpeed, uint32_t* maxWriteSpeed) override;
    RecorderException SetSpeeds(GrabberHandle handle, const CallReport& report, uint32_t readSpeed,
                                uint32_t writeSpeed) override;
    RecorderException GetTrackInformation(GrabberHandle handle, const CallReport& report,
                                          uint32_t track, unsigned char* record) override;
    RecorderException GetTOCInformation(GrabberHandle handle, const CallReport& report,
                                        unsigned char* record) override;
    RecorderException GetMediaCapacity(GrabberHandle handle, const CallReport& report, int64_t* bytes) override;
    RecorderException Eject(GrabberHandle handle, const CallReport& report) override;
    RecorderException CloseSession(GrabberHandle handle, const CallReport& report) override;
    RecorderException SendOPC(GrabberHandle handle, const CallReport& report) override;
    RecorderException GetBUP(GrabberHandle handle, const CallReport& report, uint8_t* enabled,
                             uint8_t* supported) override;
    RecorderException SetBUP(GrabberHandle handle, const CallReport& report, uint8_t enable) override;
    RecorderException ProbeSupportedWriteModes(GrabberHandle handle, const CallReport& report,
                                               uint8_t* trackAtOnce, uint8_t* sessionAtOnce,
                                               uint8_t* discAtOncePq, uint8_t* discAtOnceRawPw) override;
    RecorderException TrackAtOnceFromTree(GrabberHandle handle, const CallReport& report,
                                          FileTreeHandle tree, int underrunProtection, int testWrite,
                                          int closeTrack, int padTrack, int cacheSeconds) override;
    RecorderException VideoCDEx(GrabberHandle handle, const CallReport& report, int underrunProtection,
                                const char* sourcePath, const char* albumName, int closeTrack,
                                int padTrack, int testWrite, int closeDisc, int cacheSeconds) override;
    RecorderException SuperVideoCDEx(GrabberHandle handle, const CallReport& report,
                                     int underrunProtection, const char* sourcePath,
                                     const char* albumName, int closeTrack, int padTrack, int testWrite,
                                     int closeDisc, int cacheSeconds) override;
    RecorderException SetImageFolder(GrabberHandle handle, const char* folder) override;
    RecorderException TakeWrittenImage(GrabberHandle handle, WrittenImage* image) override;
    RecorderException VerifyLastWrite(GrabberHandle handle, const CallReport& report, char* md5) override;
    RecorderException CancelWrite(GrabberHandle handle) override;

private:
    struct Unit {
        std::shared_ptr<RecorderUnit> unit;
        int grabCount = 0;
        // What the unit does outside the lock now (a write, an eject, being
        // acquired), for the refusal other callers get; nullptr when idle.
        const char* busyWith = nullptr;
        bool writing = false; // the busy state that can be stopped: a write or its verify
        uint64_t writeGeneration = 0; // of the write running now
    };
    // A write to stop once the lock is let go.
    struct WriteToStop {
        std::shared_ptr<RecorderUnit> unit;
        uint64_t generation = 0;
        void Stop() const
        {
            if (unit)
                unit->CancelWrite(generation);
        }
    };
    struct Grabber {
        size_t unit = 0;
        RecorderCallback eventCallback = nullptr;
        void* context = nullptr;
        uint32_t writeSpeedInForce = 0; // 0: the unit's highest
        bool underrunProtection = true;
        bool performOpc = false;
        std::string imageFolder;
        // Told when the grabber goes while its write still runs.
        std::shared_ptr<std::atomic<bool>> silenced = std::make_shared<std::atomic<bool>>(false);
    };
    // What a cancel needs of a grabber: the write running on it, or that a
    // cancel came before the write began.
    struct StopEntry {
        WriteToStop write;
        bool pending = false;
    };
    using Write = std::function<UnitResult(RecorderUnit&, const WriteSettings&, const WriteEvents&)>;

    void ReleaseAllLocked();
    // False when a cancel came before the write, which this consumes: the
    // write must not begin then.
    bool BeginStoppableWrite(uintptr_t handle, const WriteToStop& write);
    void EndStoppableWrite(uintptr_t handle);
    bool AnyBusyLocked() const;
    void AddGrabberLocked(Unit& unit, GrabberHandle* handle, RecorderCallback eventCallback, void* context);
    // Marks the unit idle again (letting it go if no grabber is left) and
    // tells Shutdown.
    void EndBusy(const std::shared_ptr<RecorderUnit>& unit);
    int FindUnit(uint8_t port, uint8_t bus, uint8_t target, uint8_t lun) const;
    Grabber* FindGrabber(GrabberHandle handle);
    RecorderUnit* IdleUnitOf(GrabberHandle handle, UnitResult& refusal, Grabber** grabber = nullptr);
    RecorderException WriteVideoCd(VideoCdKind kind, GrabberHandle handle, const CallReport& report,
                                   int underrunProtection, const char* sourcePath, const char* albumName,
                                   int testWrite, int cacheSeconds);
    // busyWith: what other callers are told meanwhile.
    RecorderException RunWrite(GrabberHandle handle, const CallReport& report, int underrunProtection,
                               int testWrite, int cacheSeconds, const Write& write,
                               const char* busyWith = "writing a disc");

    // One scan at a time; held without mutex_ while libburn scans.
    std::timed_mutex scanMutex_;
    // When the last write ended, and how long libburn's own thread may still
    // need after that.
    static constexpr std::chrono::milliseconds kWorkerSettle{1000};
    std::chrono::steady_clock::time_point lastWriteEnd_{};
    std::timed_mutex mutex_;
    // Told whenever a write ends, for Shutdown.
    std::condition_variable_any writeEnded_;
    bool started_ = false;
    std::vector<Unit> units_;
    // Handles are numbers that are never used twice, so a stale handle kept
    // by a record from before a search cannot reach a newer grabber.
    std::map<uintptr_t, std::unique_ptr<Grabber>> grabbers_;
    uintptr_t nextHandle_ = 1;
    // A cancel takes this lock alone, never mutex_, which a query holds while
    // its drive answers: a cancel never waits for a drive. Taken after mutex_
    // where both are held.
    std::mutex stopMutex_;
    std::map<uintptr_t, StopEntry> stops_;
};
