#pragma once
// Our recording library: every operation the recorder code needs of a CD/DVD
// recorder, behind one interface so that the real implementation (over
// libburn) can be replaced by a test. Every call returns an exception number,
// RECORDER_SUCCESS (0) when it worked. The grabber calls also fill an
// exception text and a status; a failing call says in its text what went
// wrong.

#include <cstddef>
#include <cstdint>
#include <string>

using RecorderException = int32_t;

constexpr RecorderException RECORDER_SUCCESS = 0;
constexpr RecorderException RECORDER_INVALID_ARGUMENT = 1;
constexpr RecorderException RECORDER_NOT_STARTED = 2;
constexpr RecorderException RECORDER_START_FAILED = 3;
constexpr RecorderException RECORDER_DEVICE_NOT_FOUND = 4;
constexpr RecorderException RECORDER_GRAB_FAILED = 5;
constexpr RecorderException RECORDER_INVALID_HANDLE = 6;
constexpr RecorderException RECORDER_UNIT_NOT_READY = 7;
constexpr RecorderException RECORDER_NO_SUCH_TRACK = 8;
constexpr RecorderException RECORDER_COMMAND_FAILED = 9;
constexpr RecorderException RECORDER_NOT_SUPPORTED_YET = 10;

// Status values a call leaves behind. The recorder code presets
// RECORDER_STATUS_UNSET before a call, so an untouched status stands out.
constexpr uint32_t RECORDER_STATUS_OK = 0;
constexpr uint32_t RECORDER_STATUS_FAILED = 1;
constexpr uint32_t RECORDER_STATUS_UNSET = 31;

// SCSI peripheral device type of CD/DVD units, the only kind searched for.
constexpr int RECORDER_SCSI_TYPE_CDVD = 5;

// Callback reasons.
constexpr int RECORDER_REASON_DEVICE_FOUND = 10;

constexpr size_t RECORDER_EXCEPTION_TEXT_SIZE = 1024;
constexpr size_t RECORDER_ID_TEXT_SIZE = 1024;
// An MD5 in hex, terminated.
constexpr size_t RECORDER_MD5_TEXT_SIZE = 33;

// Write speed meaning "as fast as the unit reads".
constexpr uint32_t RECORDER_MAX_READ_SPEED = 65535;

#pragma pack(push, 1)
// Byte 0 is the library's own; bytes 1 to 4 name the unit.
struct DeviceAddress {
    uint8_t reserved = 0;
    uint8_t port = 0;
    uint8_t bus = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
};
#pragma pack(pop)
static_assert(sizeof(DeviceAddress) == 5);

// What the library knows of a failure beyond its text; the recorder code keeps
// it but never reads it.
struct FailureDetails {
    int32_t senseKey = 0;
    int32_t additionalSense = 0;
    int32_t osError = 0;
    int32_t libraryCode = 0;
};

// Every call of a grabber reports here: the text (always terminated, empty on
// success), its capacity, the status and the failure details.
struct CallReport {
    char* text;
    size_t textSize;
    uint32_t* status;
    FailureDetails* details;
};

// Opaque per-unit object of the library.
using GrabberHandle = void*;
// A DVD-Video file system built from a VIDEO_TS folder.
using DvdVideoHandle = void*;
// The file tree of a DVD-Video file system: an ImageStream (ImageStream.h)
// owned by its DvdVideoHandle and freed with it.
using FileTreeHandle = void*;

// The image file a grabber's last write made. The image-file recorder keeps
// a shared lock on it while it is held, so that no other run replaces it
// meanwhile; whoever takes it closes holdFd when the image may go.
struct WrittenImage {
    std::string path;
    // Why the image did not get its own name, when it did not; "" else.
    std::string note;
    int holdFd = -1;
};

// Discovery and burn events: (reason, context given with the callback,
// param1, param2). For RECORDER_REASON_DEVICE_FOUND param1 points to the
// unit's DeviceAddress.
using RecorderCallback = void (*)(int reason, void* context, void* param1, void* param2);

class RecorderLibrary {
public:
    virtual ~RecorderLibrary() = default;

    // Starting twice is harmless.
    virtual RecorderException UpStartEx() = 0;
    // The run's end: stops a write that runs and lets go of every unit;
    // later calls fail cleanly.
    virtual void Shutdown();

    // Calls back once per unit, in the library's order, before it returns.
    virtual RecorderException FindDevice(int scsiType, int flags, RecorderCallback callback,
                                         void* context) = 0;

    // eventCallback gets the burn events of this grabber with context.
    virtual RecorderException CdvdBurnerGrabberCreate(GrabberHandle* handle, const CallReport& report,
                                                      RecorderCallback eventCallback, void* context,
                                                      uint8_t port, uint8_t bus, uint8_t target,
                                                      uint8_t lun, int cacheFlag) = 0;
    // Frees the grabber and clears *handle.
    virtual RecorderException CdvdBurnerGrabberRelease(GrabberHandle* handle) = 0;

    // record: RECORDER_DEVICE_NAME_RECORD_SIZE bytes, the name from byte 4.
    virtual RecorderException GetDeviceNameByDeviceAddress(uint8_t port, uint8_t bus, uint8_t target,
                                                           uint8_t lun, unsigned char* record) = 0;

    // Texts of RECORDER_ID_TEXT_SIZE bytes each; cache size in bytes.
    virtual RecorderException GetDeviceInformation(GrabberHandle handle, char* vendor, char* product,
                                                   char* revision, uint32_t* cacheSize) = 0;

    virtual RecorderException TestUnitReady(GrabberHandle handle, const CallReport& report) = 0;

    // The disc type code (DiscTypes.h) of the inserted disc.
    virtual int GetInsertedDiscType(GrabberHandle handle) = 0;

    // Speeds in 1000 bytes per second.
    virtual RecorderException GetSpeeds(GrabberHandle handle, const CallReport& report,
                                        uint32_t* currentReadSpeed, uint32_t* maxReadSpeed,
                                        uint32_t* currentWriteSpeed, uint32_t* maxWriteSpeed) = 0;
    virtual RecorderException SetSpeeds(GrabberHandle handle, const CallReport& report,
                                        uint32_t readSpeed, uint32_t writeSpeed) = 0;

    // record: RECORDER_TRACK_INFO_SIZE bytes; RecorderRecords.h has the layout.
    virtual RecorderException GetTrackInformation(GrabberHandle handle, const CallReport& report,
                                                  uint32_t track, unsigned char* record) = 0;
    // record: RECORDER_TOC_SIZE bytes; RecorderRecords.h has the layout.
    virtual RecorderException GetTOCInformation(GrabberHandle handle, const CallReport& report,
                                                unsigned char* record) = 0;

    // The bytes the inserted disc can still take: all of a blank one. *bytes
    // is 0 when the unit cannot tell.
    virtual RecorderException GetMediaCapacity(GrabberHandle handle, const CallReport& report, int64_t* bytes);

    virtual RecorderException Eject(GrabberHandle handle, const CallReport& report) = 0;
    virtual RecorderException CloseSession(GrabberHandle handle, const CallReport& report) = 0;
    virtual RecorderException SendOPC(GrabberHandle handle, const CallReport& report) = 0;

    virtual RecorderException GetBUP(GrabberHandle handle, const CallReport& report, uint8_t* enabled,
                                     uint8_t* supported) = 0;
    virtual RecorderException SetBUP(GrabberHandle handle, const CallReport& report, uint8_t enable) = 0;

    virtual RecorderException ProbeSupportedWriteModes(GrabberHandle handle, const CallReport& report,
                                                       uint8_t* trackAtOnce, uint8_t* sessionAtOnce,
                                                       uint8_t* discAtOncePq, uint8_t* discAtOnceRawPw) = 0;

    // The DVD-Video file system needs no recorder: every library builds it
    // here (dvdvideo/). The writes are each library's own; one that has none
    // fails them with RECORDER_NOT_SUPPORTED_YET and says so in its text.
    virtual RecorderException DVDVideoCreate(DvdVideoHandle* handle, const char* folder, int videoTsOnly,
                                             char* text, size_t textSize, uint32_t* status,
                                             const char* volumeLabel, const char* publisher,
                                             const char* application, int year, int month, int day,
                                             int hour, int minute, int second, int hundredths);
    virtual RecorderException DVDVideoGetImageSize(DvdVideoHandle handle, int64_t* size);
    virtual RecorderException DVDVideoGetFileTree(DvdVideoHandle handle, FileTreeHandle* tree);
    virtual RecorderException DVDVideoRelease(DvdVideoHandle* handle);

    virtual RecorderException TrackAtOnceFromTree(GrabberHandle handle, const CallReport& report,
                                                  FileTreeHandle tree, int underrunProtection,
                                                  int testWrite, int closeTrack, int padTrack,
                                                  int cacheSeconds);
    virtual RecorderException VideoCDEx(GrabberHandle handle, const CallReport& report,
                                        int underrunProtection, const char* sourcePath,
                                        const char* albumName, int closeTrack, int padTrack,
                                        int testWrite, int closeDisc, int cacheSeconds);
    virtual RecorderException SuperVideoCDEx(GrabberHandle handle, const CallReport& report,
                                             int underrunProtection, const char* sourcePath,
                                             const char* albumName, int closeTrack, int padTrack,
                                             int testWrite, int closeDisc, int cacheSeconds);

    // The folder the image-file recorder writes the grabber's next image to;
    // a real recorder has no use for it.
    virtual RecorderException SetImageFolder(GrabberHandle handle, const char* folder);
    // Hands over the image the grabber's last write made (path "" when it
    // made none); later calls get none until the next write.
    virtual RecorderException TakeWrittenImage(GrabberHandle handle, WrittenImage* image);

    // Reads back, from the start of the medium, exactly the image the
    // grabber's unit wrote last (no padding, no table of contents) and
    // compares it with what was written, sending progress events. md5:
    // RECORDER_MD5_TEXT_SIZE bytes, the MD5 of what was read. A medium that
    // differs fails with a text that names the first sector that does.
    // CancelWrite stops it as it stops a write.
    virtual RecorderException VerifyLastWrite(GrabberHandle handle, const CallReport& report, char* md5);

    // Asks the write running on handle (on another thread), or else the next
    // one to start on it, to stop; the write call then returns with a
    // failure once the unit is idle and released. Callable from any thread;
    // waits for no drive and returns at once.
    virtual RecorderException CancelWrite(GrabberHandle handle);
};
