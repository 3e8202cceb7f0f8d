#pragma once
// The recording library as a GoogleMock. ScriptedRecorder answers every call
// as one drive holding the disc its script describes, and writes at once; a
// test makes a call fail with ON_CALL(recorder, Call).WillByDefault(Fail(9))
// and checks calls with EXPECT_CALL.

#include "recorder/DiscTypes.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderRecords.h"

#include <gmock/gmock.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class MockRecorderLibrary : public RecorderLibrary {
public:
    MOCK_METHOD(RecorderException, UpStartEx, (), (override));
    MOCK_METHOD(void, Shutdown, (), (override));
    MOCK_METHOD(RecorderException, FindDevice, (int, int, RecorderCallback, void*), (override));
    MOCK_METHOD(RecorderException, CdvdBurnerGrabberCreate,
                (GrabberHandle*, const CallReport&, RecorderCallback, void*, uint8_t, uint8_t, uint8_t, uint8_t, int),
                (override));
    MOCK_METHOD(RecorderException, CdvdBurnerGrabberRelease, (GrabberHandle*), (override));
    MOCK_METHOD(RecorderException, GetDeviceNameByDeviceAddress, (uint8_t, uint8_t, uint8_t, uint8_t, unsigned char*),
                (override));
    MOCK_METHOD(RecorderException, GetDeviceInformation, (GrabberHandle, char*, char*, char*, uint32_t*), (override));
    MOCK_METHOD(RecorderException, TestUnitReady, (GrabberHandle, const CallReport&), (override));
    MOCK_METHOD(int, GetInsertedDiscType, (GrabberHandle), (override));
    MOCK_METHOD(RecorderException, GetSpeeds, (GrabberHandle, const CallReport&, uint32_t*, uint32_t*, uint32_t*, uint32_t*),
                (override));
    MOCK_METHOD(RecorderException, SetSpeeds, (GrabberHandle, const CallReport&, uint32_t, uint32_t), (override));
    MOCK_METHOD(RecorderException, GetTrackInformation, (GrabberHandle, const CallReport&, uint32_t, unsigned char*),
                (override));
    MOCK_METHOD(RecorderException, GetTOCInformation, (GrabberHandle, const CallReport&, unsigned char*), (override));
    MOCK_METHOD(RecorderException, GetMediaCapacity, (GrabberHandle, const CallReport&, int64_t*), (override));
    MOCK_METHOD(RecorderException, Eject, (GrabberHandle, const CallReport&), (override));
    MOCK_METHOD(RecorderException, CloseSession, (GrabberHandle, const CallReport&), (override));
    MOCK_METHOD(RecorderException, SendOPC, (GrabberHandle, const CallReport&), (override));
    MOCK_METHOD(RecorderException, GetBUP, (GrabberHandle, const CallReport&, uint8_t*, uint8_t*), (override));
    MOCK_METHOD(RecorderException, SetBUP, (GrabberHandle, const CallReport&, uint8_t), (override));
    MOCK_METHOD(RecorderException, ProbeSupportedWriteModes,
                (GrabberHandle, const CallReport&, uint8_t*, uint8_t*, uint8_t*, uint8_t*), (override));
    MOCK_METHOD(RecorderException, DVDVideoGetImageSize, (DvdVideoHandle, int64_t*), (override));
    MOCK_METHOD(RecorderException, DVDVideoGetFileTree, (DvdVideoHandle, FileTreeHandle*), (override));
    MOCK_METHOD(RecorderException, DVDVideoRelease, (DvdVideoHandle*), (override));
    MOCK_METHOD(RecorderException, TrackAtOnceFromTree,
                (GrabberHandle, const CallReport&, FileTreeHandle, int, int, int, int, int), (override));
    MOCK_METHOD(RecorderException, VideoCDEx,
                (GrabberHandle, const CallReport&, int, const char*, const char*, int, int, int, int, int), (override));
    MOCK_METHOD(RecorderException, SuperVideoCDEx,
                (GrabberHandle, const CallReport&, int, const char*, const char*, int, int, int, int, int), (override));
    MOCK_METHOD(RecorderException, VerifyLastWrite, (GrabberHandle, const CallReport&, char*), (override));
    MOCK_METHOD(RecorderException, CancelWrite, (GrabberHandle), (override));

    // More arguments than a mock takes: the folder, the label and the
    // constants (the flag, then the date) go to CreateDvdVideo.
    MOCK_METHOD(RecorderException, CreateDvdVideo, (DvdVideoHandle*, std::string, std::string, std::vector<int>));
    RecorderException DVDVideoCreate(DvdVideoHandle* handle, const char* folder, int videoTsOnly, char* text,
                                     size_t textSize, uint32_t* status, const char* label, const char* publisher,
                                     const char* application, int year, int month, int day, int hour, int minute,
                                     int second, int hundredths) override
    {
        if (std::string(publisher) != "StarBurnPublisher" || std::string(application) != "StarBurnApplication")
            return RECORDER_INVALID_ARGUMENT;
        const RecorderException e = CreateDvdVideo(handle, folder, label,
                                                   {videoTsOnly, year, month, day, hour, minute, second, hundredths});
        std::snprintf(text, textSize, "%s", e == RECORDER_SUCCESS ? "" : "scripted failure");
        *status = e == RECORDER_SUCCESS ? RECORDER_STATUS_OK : 0x52;
        return e;
    }
};

// A call's failure as the library reports it.
inline RecorderException FailReport(const CallReport& report, RecorderException exception,
                                    const std::string& text = "scripted failure")
{
    std::snprintf(report.text, report.textSize, "%s", text.c_str());
    *report.status = 0x52;
    return exception;
}

// For the grabber calls, whose report is their second argument.
ACTION_P(Fail, exception)
{
    return FailReport(arg1, exception);
}
ACTION_P2(FailSaying, exception, text)
{
    return FailReport(arg1, exception, text);
}

class ScriptedRecorder : public testing::NiceMock<MockRecorderLibrary> {
public:
    struct TocTrack {
        uint32_t start;
        uint32_t end;
        uint32_t bytesPerBlock;
    };
    // An event of every write, with its values as the library hands them:
    // 64 bits, but 32 for the cache wait's limit, the padding size and the
    // speed, whose label is text.
    struct Event {
        int reason;
        int64_t first = 0;
        int64_t second = 0;
        const char* label = nullptr;
    };

    std::vector<DeviceAddress> devices;
    int discType = DISC_TYPE_CDR;
    uint32_t highestWriteSpeed = 0;
    // The speed in force after a request; unset: the request itself.
    std::function<uint32_t(uint32_t)> speedInForce;
    std::string vendor = "VENDOR";
    std::string product = "PRODUCT";
    std::string deviceName = "/dev/sr0";
    bool track1Blank = true;
    uint32_t recordedBlocks = 0; // track 255
    std::vector<TocTrack> toc;
    // What the disc can take; 0: the library cannot tell.
    int64_t mediaCapacity = 0;
    uint8_t trackAtOnce = 1;
    std::vector<Event> writeEvents;
    // A write then waits, after its events, for ReleaseWrite or CancelWrite.
    bool blockWrites = false;

    std::set<GrabberHandle> liveGrabbers;
    std::set<DvdVideoHandle> liveDvdVideos;
    std::vector<uint32_t> requestedSpeeds;

    static DeviceAddress Address(uint8_t port, uint8_t bus, uint8_t target, uint8_t lun)
    {
        DeviceAddress address;
        address.port = port;
        address.bus = bus;
        address.target = target;
        address.lun = lun;
        return address;
    }

    ScriptedRecorder() { Restore(); }

    // Every call answers from the script again, as after construction.
    void Restore()
    {
        using testing::Return;
        ON_CALL(*this, UpStartEx).WillByDefault(Return(RECORDER_SUCCESS));
        ON_CALL(*this, FindDevice).WillByDefault([this](int, int, RecorderCallback callback, void* context) {
            for (DeviceAddress address : devices)
                callback(RECORDER_REASON_DEVICE_FOUND, context, &address, nullptr);
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, CdvdBurnerGrabberCreate)
            .WillByDefault([this](GrabberHandle* handle, const CallReport&, RecorderCallback callback, void* context,
                                  auto...) {
                std::lock_guard<std::mutex> lock(mutex_);
                *handle = new int(0);
                liveGrabbers.insert(*handle);
                sinks_[*handle] = {callback, context};
                return RECORDER_SUCCESS;
            });
        ON_CALL(*this, CdvdBurnerGrabberRelease).WillByDefault([this](GrabberHandle* handle) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (liveGrabbers.erase(*handle) == 0)
                return RECORDER_INVALID_HANDLE;
            sinks_.erase(*handle);
            delete static_cast<int*>(*handle);
            *handle = nullptr;
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, GetDeviceNameByDeviceAddress).WillByDefault([this](auto, auto, auto, auto, unsigned char* record) {
            const size_t room = RECORDER_DEVICE_NAME_RECORD_SIZE - DEVICE_NAME_OFFSET;
            std::memcpy(record + DEVICE_NAME_OFFSET, deviceName.data(), std::min(deviceName.size(), room));
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, GetDeviceInformation)
            .WillByDefault([this](GrabberHandle, char* v, char* p, char* r, uint32_t* cache) {
                std::snprintf(v, RECORDER_ID_TEXT_SIZE, "%s", vendor.c_str());
                std::snprintf(p, RECORDER_ID_TEXT_SIZE, "%s", product.c_str());
                std::snprintf(r, RECORDER_ID_TEXT_SIZE, "1.00");
                *cache = 2097152;
                return RECORDER_SUCCESS;
            });
        ON_CALL(*this, GetInsertedDiscType).WillByDefault([this](GrabberHandle) { return discType; });
        ON_CALL(*this, GetSpeeds)
            .WillByDefault([this](GrabberHandle, const CallReport&, uint32_t* readNow, uint32_t* readMax,
                                  uint32_t* writeNow, uint32_t* writeMax) {
                *readNow = *readMax = 7040;
                *writeNow = writeSpeedInForce_ != 0 ? writeSpeedInForce_ : highestWriteSpeed;
                *writeMax = highestWriteSpeed;
                return RECORDER_SUCCESS;
            });
        ON_CALL(*this, SetSpeeds).WillByDefault([this](GrabberHandle, const CallReport&, uint32_t, uint32_t speed) {
            requestedSpeeds.push_back(speed);
            writeSpeedInForce_ = speedInForce ? speedInForce(speed) : speed;
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, GetTrackInformation)
            .WillByDefault([this](GrabberHandle, const CallReport&, uint32_t track, unsigned char* record) {
                std::memset(record, 0, RECORDER_TRACK_INFO_SIZE);
                if (track == TRACK_RECORDED_AREA)
                    WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, recordedBlocks);
                else if (track == 1)
                    record[TRACK_INFO_BLANK_OFFSET] = track1Blank ? 1 : 0;
                return RECORDER_SUCCESS;
            });
        ON_CALL(*this, GetTOCInformation).WillByDefault([this](GrabberHandle, const CallReport&, unsigned char* record) {
            record[TOC_TRACK_COUNT_OFFSET] = static_cast<unsigned char>(toc.size());
            for (size_t k = 0; k < toc.size(); ++k) {
                WriteRecord32(record, TOC_START_OFFSET + TOC_TRACK_STRIDE * k, toc[k].start);
                WriteRecord32(record, TOC_END_OFFSET + TOC_TRACK_STRIDE * k, toc[k].end);
                WriteRecord32(record, TOC_BYTES_PER_BLOCK_OFFSET + TOC_TRACK_STRIDE * k, toc[k].bytesPerBlock);
            }
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, GetMediaCapacity).WillByDefault([this](GrabberHandle, const CallReport& report, int64_t* bytes) {
            *bytes = mediaCapacity;
            return mediaCapacity != 0 ? RECORDER_SUCCESS : FailReport(report, RECORDER_NOT_SUPPORTED_YET);
        });
        ON_CALL(*this, GetBUP).WillByDefault([](GrabberHandle, const CallReport&, uint8_t* enabled, uint8_t* supported) {
            *enabled = *supported = 1;
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, ProbeSupportedWriteModes)
            .WillByDefault([this](GrabberHandle, const CallReport&, uint8_t* tao, uint8_t* sao, uint8_t* pq, uint8_t* raw) {
                *tao = trackAtOnce;
                *sao = 1;
                *pq = *raw = 0;
                return RECORDER_SUCCESS;
            });
        ON_CALL(*this, CreateDvdVideo).WillByDefault([this](DvdVideoHandle* handle, auto...) {
            std::lock_guard<std::mutex> lock(mutex_);
            *handle = new int(0);
            liveDvdVideos.insert(*handle);
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, DVDVideoGetImageSize).WillByDefault([](DvdVideoHandle, int64_t* size) {
            *size = 4708352;
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, DVDVideoGetFileTree).WillByDefault([](DvdVideoHandle handle, FileTreeHandle* tree) {
            *tree = handle;
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, DVDVideoRelease).WillByDefault([this](DvdVideoHandle* handle) {
            std::lock_guard<std::mutex> lock(mutex_);
            liveDvdVideos.erase(*handle);
            delete static_cast<int*>(*handle);
            *handle = nullptr;
            return RECORDER_SUCCESS;
        });
        auto write = [this](GrabberHandle handle, const CallReport& report, auto...) { return Write(handle, report); };
        ON_CALL(*this, TrackAtOnceFromTree).WillByDefault(write);
        ON_CALL(*this, VideoCDEx).WillByDefault(write);
        ON_CALL(*this, SuperVideoCDEx).WillByDefault(write);
        ON_CALL(*this, VerifyLastWrite).WillByDefault([](GrabberHandle, const CallReport&, char* md5) {
            std::snprintf(md5, RECORDER_MD5_TEXT_SIZE, "%s", "d41d8cd98f00b204e9800998ecf8427e");
            return RECORDER_SUCCESS;
        });
        ON_CALL(*this, CancelWrite).WillByDefault([this](GrabberHandle handle) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++cancels_;
            if (handle == blocked_) {
                cancelled_ = true;
                changed_.notify_all();
            }
            return RECORDER_SUCCESS;
        });
    }

    // Any thread: true once a write waits in the library.
    bool WaitForBlockedWrite()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return blocked_ != nullptr; });
    }
    bool WriteIsBlocked()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocked_ != nullptr;
    }
    void ReleaseWrite()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    int CancelCount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return cancels_;
    }

private:
    RecorderException Write(GrabberHandle handle, const CallReport& report)
    {
        std::pair<RecorderCallback, void*> sink{nullptr, nullptr};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (sinks_.count(handle) != 0)
                sink = sinks_[handle];
        }
        for (const Event& event : writeEvents) {
            int64_t first64 = event.first, second64 = event.second;
            int32_t first32 = static_cast<int32_t>(event.first), second32 = static_cast<int32_t>(event.second);
            void* second = event.label ? const_cast<char*>(event.label)
                           : event.reason == 26 ? static_cast<void*>(&second32)
                                                : &second64;
            if (sink.first != nullptr)
                sink.first(event.reason, sink.second,
                           event.reason == 6 || event.reason == 40 ? static_cast<void*>(&first32) : &first64, second);
        }
        if (!blockWrites)
            return RECORDER_SUCCESS;
        std::unique_lock<std::mutex> lock(mutex_);
        blocked_ = handle;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_ || cancelled_; });
        const bool cancelled = cancelled_;
        blocked_ = nullptr;
        released_ = cancelled_ = false;
        return cancelled ? FailReport(report, RECORDER_COMMAND_FAILED) : RECORDER_SUCCESS;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<GrabberHandle, std::pair<RecorderCallback, void*>> sinks_;
    uint32_t writeSpeedInForce_ = 0;
    GrabberHandle blocked_ = nullptr;
    bool released_ = false;
    bool cancelled_ = false;
    int cancels_ = 0;
};
