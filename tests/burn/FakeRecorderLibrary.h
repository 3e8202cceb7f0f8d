#pragma once
// A scripted recording library: the tests set what the "recorders" report and
// which calls fail, and read back which calls were made.

#include "recorder/DiscTypes.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderRecords.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class FakeRecorderLibrary : public RecorderLibrary {
public:
    struct TocTrack {
        uint32_t start;
        uint32_t end;
        uint32_t bytesPerBlock;
    };

    // Script.
    std::vector<DeviceAddress> devices;
    RecorderException startResult = RECORDER_SUCCESS;
    int discType = DISC_TYPE_CDR;
    uint32_t highestWriteSpeed = 0;
    // Speed in force after a request; unset: the request itself.
    std::function<uint32_t(uint32_t)> speedInForce;
    std::map<std::string, RecorderException> failures; // call name -> exception
    std::string failureText = "scripted failure";
    std::string vendor = "VENDOR";
    std::string product = "PRODUCT";
    std::string revision = "1.00";
    uint32_t cacheSize = 2097152;
    std::string deviceName = "/dev/sr0";
    bool track1Blank = true;
    uint32_t recordedBlocks = 0; // track 255
    std::vector<TocTrack> toc;
    // What the disc can take; 0: the library cannot tell, as one without the call.
    int64_t mediaCapacity = 0;
    // Fill the identification texts to the brim, without terminator.
    bool unterminatedIdentification = false;

    // A library event during a write; the values are handed as the library
    // hands them: 64-bit or 32-bit, behind pointers.
    struct Event {
        int reason;
        int64_t first = 0;
        int64_t second = 0;
    };
    // The write modes the unit offers.
    uint8_t trackAtOnce = 1;
    int64_t imageSize = 4708352;
    // Events delivered by every write, in order, through the grabber's own
    // callback.
    std::vector<Event> writeEvents;
    // A write then waits, after its events, for ReleaseWrite or CancelWrite.
    bool blockWrites = false;

    // What the write calls were given.
    struct WriteArguments {
        std::string call;
        std::string source; // the VideoCD source, or the tree's folder
        std::string album;
        std::vector<int> flags;
    };
    std::vector<WriteArguments> writes;
    std::string createdFolder;
    std::string createdLabel;
    std::vector<int> createdConstants;
    std::set<DvdVideoHandle> liveDvdVideos;

    // Observations.
    std::vector<std::string> calls;
    std::vector<uint32_t> requestedSpeeds;
    std::set<GrabberHandle> liveGrabbers;

    static DeviceAddress Address(uint8_t port, uint8_t bus, uint8_t target, uint8_t lun)
    {
        DeviceAddress address;
        address.port = port;
        address.bus = bus;
        address.target = target;
        address.lun = lun;
        return address;
    }

    int CallCount(const std::string& name) const
    {
        int count = 0;
        for (const std::string& call : calls)
            count += call == name;
        return count;
    }

    RecorderException UpStartEx() override { return startResult; }

    RecorderException FindDevice(int scsiType, int, RecorderCallback callback, void* context) override
    {
        Record("FindDevice");
        if (scsiType != RECORDER_SCSI_TYPE_CDVD)
            return RECORDER_INVALID_ARGUMENT;
        for (DeviceAddress address : devices)
            callback(RECORDER_REASON_DEVICE_FOUND, context, &address, nullptr);
        return RECORDER_SUCCESS;
    }

    RecorderException CdvdBurnerGrabberCreate(GrabberHandle* handle, const CallReport& report,
                                              RecorderCallback callback, void* context, uint8_t, uint8_t,
                                              uint8_t, uint8_t, int) override
    {
        *handle = nullptr;
        if (RecorderException e = Call("Create", report))
            return e;
        *handle = new int(nextHandle_++);
        liveGrabbers.insert(*handle);
        eventSinks_[*handle] = {callback, context};
        return RECORDER_SUCCESS;
    }

    RecorderException CdvdBurnerGrabberRelease(GrabberHandle* handle) override
    {
        Record("Release");
        if (liveGrabbers.erase(*handle) == 0)
            return RECORDER_INVALID_HANDLE;
        eventSinks_.erase(*handle);
        delete static_cast<int*>(*handle);
        *handle = nullptr;
        return RECORDER_SUCCESS;
    }

    RecorderException GetDeviceNameByDeviceAddress(uint8_t, uint8_t, uint8_t, uint8_t,
                                                   unsigned char* record) override
    {
        if (RecorderException e = Plain("DeviceName"))
            return e;
        const size_t room = RECORDER_DEVICE_NAME_RECORD_SIZE - DEVICE_NAME_OFFSET;
        std::memcpy(record + DEVICE_NAME_OFFSET, deviceName.data(), std::min(deviceName.size(), room));
        return RECORDER_SUCCESS;
    }

    RecorderException GetDeviceInformation(GrabberHandle handle, char* v, char* p, char* r,
                                           uint32_t* cache) override
    {
        if (RecorderException e = Plain("Identify", handle))
            return e;
        Fill(v, vendor);
        Fill(p, product);
        Fill(r, revision);
        *cache = cacheSize;
        return RECORDER_SUCCESS;
    }

    RecorderException TestUnitReady(GrabberHandle handle, const CallReport& report) override
    {
        return Call("TestUnitReady", report, handle);
    }

    int GetInsertedDiscType(GrabberHandle) override
    {
        Record("DiscType");
        return discType;
    }

    RecorderException GetSpeeds(GrabberHandle handle, const CallReport& report, uint32_t* readNow,
                                uint32_t* readMax, uint32_t* writeNow, uint32_t* writeMax) override
    {
        if (RecorderException e = Call("GetSpeeds", report, handle))
            return e;
        *readNow = *readMax = 7040;
        *writeNow = writeSpeedInForce_ != 0 ? writeSpeedInForce_ : highestWriteSpeed;
        *writeMax = highestWriteSpeed;
        return RECORDER_SUCCESS;
    }

    RecorderException SetSpeeds(GrabberHandle handle, const CallReport& report, uint32_t readSpeed,
                                uint32_t writeSpeed) override
    {
        requestedSpeeds.push_back(writeSpeed);
        if (RecorderException e = Call("SetSpeeds", report, handle))
            return e;
        writeSpeedInForce_ = speedInForce ? speedInForce(writeSpeed) : writeSpeed;
        return RECORDER_SUCCESS;
    }

    RecorderException GetTrackInformation(GrabberHandle handle, const CallReport& report,
                                          uint32_t track, unsigned char* record) override
    {
        if (RecorderException e = Call("TrackInfo", report, handle))
            return e;
        std::memset(record, 0, RECORDER_TRACK_INFO_SIZE);
        if (track == TRACK_RECORDED_AREA) {
            WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, recordedBlocks);
        } else if (track == 1) {
            record[TRACK_INFO_BLANK_OFFSET] = track1Blank ? 1 : 0;
        }
        return RECORDER_SUCCESS;
    }

    RecorderException GetTOCInformation(GrabberHandle handle, const CallReport& report,
                                        unsigned char* record) override
    {
        if (RecorderException e = Call("TOC", report, handle))
            return e;
        record[TOC_TRACK_COUNT_OFFSET] = static_cast<unsigned char>(toc.size());
        for (size_t k = 0; k < toc.size(); ++k) {
            WriteRecord32(record, TOC_START_OFFSET + TOC_TRACK_STRIDE * k, toc[k].start);
            WriteRecord32(record, TOC_END_OFFSET + TOC_TRACK_STRIDE * k, toc[k].end);
            WriteRecord32(record, TOC_BYTES_PER_BLOCK_OFFSET + TOC_TRACK_STRIDE * k, toc[k].bytesPerBlock);
        }
        return RECORDER_SUCCESS;
    }

    RecorderException GetMediaCapacity(GrabberHandle handle, const CallReport& report, int64_t* bytes) override
    {
        if (mediaCapacity == 0)
            return RecorderLibrary::GetMediaCapacity(handle, report, bytes);
        *bytes = mediaCapacity;
        return RECORDER_SUCCESS;
    }

    RecorderException Eject(GrabberHandle handle, const CallReport& report) override
    {
        return Call("Eject", report, handle);
    }
    RecorderException CloseSession(GrabberHandle handle, const CallReport& report) override
    {
        return Call("CloseSession", report, handle);
    }
    RecorderException SendOPC(GrabberHandle handle, const CallReport& report) override
    {
        return Call("SendOPC", report, handle);
    }
    RecorderException GetBUP(GrabberHandle handle, const CallReport& report, uint8_t* enabled,
                             uint8_t* supported) override
    {
        *enabled = *supported = 1;
        return Call("GetBUP", report, handle);
    }
    RecorderException SetBUP(GrabberHandle handle, const CallReport& report, uint8_t) override
    {
        return Call("SetBUP", report, handle);
    }
    RecorderException ProbeSupportedWriteModes(GrabberHandle handle, const CallReport& report,
                                               uint8_t* tao, uint8_t* sao, uint8_t* pq,
                                               uint8_t* raw) override
    {
        *tao = trackAtOnce;
        *sao = 1;
        *pq = *raw = 0;
        return Call("ProbeWriteModes", report, handle);
    }

    RecorderException DVDVideoCreate(DvdVideoHandle* handle, const char* folder, int videoTsOnly, char* text,
                                     size_t textSize, uint32_t* status, const char* volumeLabel,
                                     const char* publisher, const char* application, int year, int month,
                                     int day, int hour, int minute, int second, int hundredths) override
    {
        *handle = nullptr;
        createdFolder = folder;
        createdLabel = volumeLabel;
        createdConstants = {videoTsOnly, year, month, day, hour, minute, second, hundredths};
        if (std::string(publisher) != "StarBurnPublisher" || std::string(application) != "StarBurnApplication")
            return RECORDER_INVALID_ARGUMENT;
        if (RecorderException e = Call("DVDVideoCreate", CallReport{text, textSize, status, &details_}))
            return e;
        *handle = new int(nextHandle_++);
        liveDvdVideos.insert(*handle);
        return RECORDER_SUCCESS;
    }

    RecorderException DVDVideoGetImageSize(DvdVideoHandle handle, int64_t* size) override
    {
        *size = 0;
        if (RecorderException e = DvdVideoCall("GetImageSize", handle))
            return e;
        *size = imageSize;
        return RECORDER_SUCCESS;
    }

    RecorderException DVDVideoGetFileTree(DvdVideoHandle handle, FileTreeHandle* tree) override
    {
        *tree = nullptr;
        if (RecorderException e = DvdVideoCall("GetFileTree", handle))
            return e;
        *tree = handle;
        return RECORDER_SUCCESS;
    }

    RecorderException DVDVideoRelease(DvdVideoHandle* handle) override
    {
        Record("DVDVideoRelease");
        if (liveDvdVideos.erase(*handle) == 0)
            return RECORDER_INVALID_HANDLE;
        delete static_cast<int*>(*handle);
        *handle = nullptr;
        return RECORDER_SUCCESS;
    }

    RecorderException TrackAtOnceFromTree(GrabberHandle handle, const CallReport& report, FileTreeHandle tree,
                                          int underrunProtection, int testWrite, int closeTrack, int padTrack,
                                          int cacheSeconds) override
    {
        writes.push_back({"TrackAtOnceFromTree", createdFolder, "",
                          {underrunProtection, testWrite, closeTrack, padTrack, cacheSeconds}});
        if (liveDvdVideos.count(tree) == 0)
            return Call("TrackAtOnceFromTree", report, nullptr, RECORDER_INVALID_HANDLE);
        return Write("TrackAtOnceFromTree", handle, report);
    }

    RecorderException VideoCDEx(GrabberHandle handle, const CallReport& report, int underrunProtection,
                                const char* sourcePath, const char* albumName, int closeTrack, int padTrack,
                                int testWrite, int closeDisc, int cacheSeconds) override
    {
        writes.push_back({"VideoCDEx", sourcePath, albumName,
                          {underrunProtection, closeTrack, padTrack, testWrite, closeDisc, cacheSeconds}});
        return Write("VideoCDEx", handle, report);
    }

    RecorderException SuperVideoCDEx(GrabberHandle handle, const CallReport& report, int underrunProtection,
                                     const char* sourcePath, const char* albumName, int closeTrack, int padTrack,
                                     int testWrite, int closeDisc, int cacheSeconds) override
    {
        writes.push_back({"SuperVideoCDEx", sourcePath, albumName,
                          {underrunProtection, closeTrack, padTrack, testWrite, closeDisc, cacheSeconds}});
        return Write("SuperVideoCDEx", handle, report);
    }

    // Any thread.
    RecorderException CancelWrite(GrabberHandle handle) override
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        ++cancels_;
        if (handle == blockedGrabber_) {
            writeCancelled_ = true;
            writeChanged_.notify_all();
        }
        return RECORDER_SUCCESS;
    }

    // Any thread: true once a write waits in the library, false if none came
    // within the limit.
    bool WaitForBlockedWrite()
    {
        std::unique_lock<std::mutex> lock(writeMutex_);
        return writeChanged_.wait_for(lock, std::chrono::seconds(60), [this] { return blockedGrabber_ != nullptr; });
    }

    // Any thread, without waiting.
    bool WriteIsBlocked()
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        return blockedGrabber_ != nullptr;
    }

    void ReleaseWrite()
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        writeReleased_ = true;
        writeChanged_.notify_all();
    }

    int CancelCount()
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        return cancels_;
    }

private:
    // A blocked write lets the test thread call meanwhile.
    void Record(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(callsMutex_);
        calls.push_back(name);
    }

    RecorderException Plain(const std::string& name, GrabberHandle handle = nullptr)
    {
        Record(name);
        if (handle != nullptr && liveGrabbers.count(handle) == 0)
            return RECORDER_INVALID_HANDLE;
        const auto failure = failures.find(name);
        return failure == failures.end() ? RECORDER_SUCCESS : failure->second;
    }

    RecorderException Call(const std::string& name, const CallReport& report,
                           GrabberHandle handle = nullptr, RecorderException forced = RECORDER_SUCCESS)
    {
        RecorderException e = Plain(name, handle);
        if (forced != RECORDER_SUCCESS)
            e = forced;
        const std::string text = e == RECORDER_SUCCESS ? "" : failureText;
        std::snprintf(report.text, report.textSize, "%s", text.c_str());
        *report.status = e == RECORDER_SUCCESS ? RECORDER_STATUS_OK : 0x52;
        return e;
    }

    void Fill(char* field, const std::string& text)
    {
        if (unterminatedIdentification) {
            std::memset(field, 'x', RECORDER_ID_TEXT_SIZE);
            return;
        }
        std::snprintf(field, RECORDER_ID_TEXT_SIZE, "%s", text.c_str());
    }

    RecorderException DvdVideoCall(const std::string& name, DvdVideoHandle handle)
    {
        Record(name);
        if (liveDvdVideos.count(handle) == 0)
            return RECORDER_INVALID_HANDLE;
        const auto failure = failures.find(name);
        return failure == failures.end() ? RECORDER_SUCCESS : failure->second;
    }

    void Deliver(const Event& event, RecorderCallback callback, void* context)
    {
        int64_t first64 = event.first, second64 = event.second;
        int32_t first32 = static_cast<int32_t>(event.first), second32 = static_cast<int32_t>(event.second);
        void* first = &first64;
        void* second = &second64;
        if (event.reason == 6)
            first = &first32;
        if (event.reason == 26)
            second = &second32;
        callback(event.reason, context, first, second);
    }

    RecorderException Write(const std::string& name, GrabberHandle handle, const CallReport& report)
    {
        const auto sink = eventSinks_.find(handle);
        if (sink != eventSinks_.end() && sink->second.first != nullptr) {
            for (const Event& event : writeEvents)
                Deliver(event, sink->second.first, sink->second.second);
        }
        bool cancelled = false;
        if (blockWrites) {
            std::unique_lock<std::mutex> lock(writeMutex_);
            blockedGrabber_ = handle;
            writeChanged_.notify_all();
            writeChanged_.wait(lock, [this] { return writeReleased_ || writeCancelled_; });
            cancelled = writeCancelled_;
            blockedGrabber_ = nullptr;
            writeReleased_ = writeCancelled_ = false;
        }
        return Call(name, report, handle, cancelled ? RECORDER_COMMAND_FAILED : RECORDER_SUCCESS);
    }

    int nextHandle_ = 1;
    uint32_t writeSpeedInForce_ = 0;
    FailureDetails details_{};
    std::map<GrabberHandle, std::pair<RecorderCallback, void*>> eventSinks_;
    std::mutex callsMutex_;
    std::mutex writeMutex_;
    std::condition_variable writeChanged_;
    GrabberHandle blockedGrabber_ = nullptr;
    bool writeReleased_ = false;
    bool writeCancelled_ = false;
    int cancels_ = 0;
};
