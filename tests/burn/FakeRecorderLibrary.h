#pragma once
// A scripted recording library: the tests set what the "recorders" report and
// which calls fail, and read back which calls were made.

#include "recorder/DiscTypes.h"
#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderRecords.h"

#include <cstring>
#include <functional>
#include <map>
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
    // Fill the identification texts to the brim, without terminator.
    bool unterminatedIdentification = false;

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
        calls.push_back("FindDevice");
        if (scsiType != RECORDER_SCSI_TYPE_CDVD)
            return RECORDER_INVALID_ARGUMENT;
        for (DeviceAddress address : devices)
            callback(RECORDER_REASON_DEVICE_FOUND, context, &address, nullptr);
        return RECORDER_SUCCESS;
    }

    RecorderException CdvdBurnerGrabberCreate(GrabberHandle* handle, const CallReport& report,
                                              RecorderCallback, void*, uint8_t, uint8_t, uint8_t,
                                              uint8_t, int) override
    {
        *handle = nullptr;
        if (RecorderException e = Call("Create", report))
            return e;
        *handle = new int(nextHandle_++);
        liveGrabbers.insert(*handle);
        return RECORDER_SUCCESS;
    }

    RecorderException CdvdBurnerGrabberRelease(GrabberHandle* handle) override
    {
        calls.push_back("Release");
        if (liveGrabbers.erase(*handle) == 0)
            return RECORDER_INVALID_HANDLE;
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
        calls.push_back("DiscType");
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
        *tao = *sao = 1;
        *pq = *raw = 0;
        return Call("ProbeWriteModes", report, handle);
    }

private:
    RecorderException Plain(const std::string& name, GrabberHandle handle = nullptr)
    {
        calls.push_back(name);
        if (handle != nullptr && liveGrabbers.count(handle) == 0)
            return RECORDER_INVALID_HANDLE;
        const auto failure = failures.find(name);
        return failure == failures.end() ? RECORDER_SUCCESS : failure->second;
    }

    RecorderException Call(const std::string& name, const CallReport& report,
                           GrabberHandle handle = nullptr)
    {
        const RecorderException e = Plain(name, handle);
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

    int nextHandle_ = 1;
    uint32_t writeSpeedInForce_ = 0;
};
