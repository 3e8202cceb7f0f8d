#include "recorder/LibburnRecorder.h"

#include "recorder/DiscTypes.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/RecorderRecords.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace burn;

namespace {

constexpr int kBlockBytes = 2048;
constexpr int kAudioBlockBytes = 2352;
constexpr auto kScanLimit = std::chrono::seconds(60);
// Real units that have no SCSI address of their own are numbered here.
constexpr uint8_t kUnaddressedPort = 254;

void CopyText(char* target, size_t size, const std::string& text)
{
    if (target == nullptr || size == 0)
        return;
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

// libburn's message queue exists only while libburn is up.
std::atomic<bool> g_libburnUp{false};

// libburn queues its complaints; each call starts from an empty queue so the
// message fetched after a failure belongs to that call.
void DiscardMessages()
{
    if (!g_libburnUp)
        return;
    int code = 0;
    int osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    burn_msgs_obtain(const_cast<char*>("NEVER"), &code, text, &osErrno, severity);
}

struct LibburnMessage {
    bool present = false;
    int code = 0;
    int osErrno = 0;
    std::string text;
};

LibburnMessage LatestMessage()
{
    LibburnMessage latest;
    if (!g_libburnUp)
        return latest;
    int code = 0;
    int osErrno = 0;
    char text[BURN_MSGS_MESSAGE_LEN];
    char severity[80];
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &osErrno, severity) == 1) {
        latest.present = true;
        latest.code = code;
        latest.osErrno = osErrno;
        latest.text = text;
    }
    return latest;
}

RecorderException Succeed(const CallReport& report)
{
    CopyText(report.text, report.textSize, "");
    if (report.status != nullptr)
        *report.status = RECORDER_STATUS_OK;
    if (report.details != nullptr)
        *report.details = FailureDetails{};
    return RECORDER_SUCCESS;
}

RecorderException Fail(const CallReport& report, RecorderException exception, const std::string& what)
{
    const LibburnMessage message = LatestMessage();
    std::string text = what;
    if (message.present)
        text += " (libburn: " + message.text + ")";
    CopyText(report.text, report.textSize, text);
    if (report.status != nullptr)
        *report.status = RECORDER_STATUS_FAILED;
    if (report.details != nullptr) {
        *report.details = FailureDetails{};
        report.details->libraryCode = message.code;
        report.details->osError = message.osErrno;
    }
    return exception;
}

bool MessageArrived()
{
    return LatestMessage().present;
}

void ShutdownAtExit()
{
    DefaultLibburnRecorder().Shutdown();
}

struct TrackEntry {
    int start;
    int blocks;
    int bytesPerBlock;
};

// The tracks of all sessions in disc order; empty for a blank disc.
std::vector<TrackEntry> TracksOf(burn_drive* drive)
{
    std::vector<TrackEntry> tracks;
    burn_disc* disc = burn_drive_get_disc(drive);
    if (disc == nullptr)
        return tracks;
    int sessionCount = 0;
    burn_session** sessions = burn_disc_get_sessions(disc, &sessionCount);
    for (int s = 0; s < sessionCount; ++s) {
        int trackCount = 0;
        burn_track** sessionTracks = burn_session_get_tracks(sessions[s], &trackCount);
        for (int t = 0; t < trackCount; ++t) {
            burn_toc_entry entry{};
            burn_track_get_entry(sessionTracks[t], &entry);
            const bool data = (entry.control & 4) != 0;
            tracks.push_back({entry.start_lba, entry.track_blocks, data ? kBlockBytes : kAudioBlockBytes});
        }
    }
    burn_disc_free(disc);
    return tracks;
}

std::string FixedText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

uint32_t ClampSpeed(int speed)
{
    return speed > 0 ? static_cast<uint32_t>(speed) : 0;
}

} // namespace

LibburnRecorder& DefaultLibburnRecorder()
{
    // Never destroyed: records released during static destruction may still
    // reach it after the exit hook has let go of every unit.
    static LibburnRecorder* recorder = new LibburnRecorder;
    return *recorder;
}

LibburnRecorder::~LibburnRecorder()
{
    Shutdown();
}

void LibburnRecorder::Shutdown()
{
    // At exit a worker may still be inside a long call; the process is not
    // held for it, and the system closes the drives' files in any case.
    std::unique_lock<std::timed_mutex> scanLock(scanMutex_, std::chrono::seconds(2));
    std::unique_lock<std::timed_mutex> lock(mutex_, std::chrono::seconds(2));
    if (!scanLock.owns_lock() || !lock.owns_lock() || !started_)
        return;
    ReleaseAllLocked();
    units_.clear();
    g_libburnUp = false;
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
    g_libburnUp = true;
    started_ = true;
    if (!exitHookSet_) {
        exitHookSet_ = true;
        std::atexit(ShutdownAtExit);
    }
    return RECORDER_SUCCESS;
}

void LibburnRecorder::ReleaseAllLocked()
{
    grabbers_.clear();
    for (Unit& unit : units_) {
        unit.grabCount = 0;
        LetGoOfUnit(unit);
    }
}

RecorderException LibburnRecorder::FindDevice(int scsiType, int flags, RecorderCallback callback,
                                              void* context)
{
    std::unique_lock<std::timed_mutex> scanLock(scanMutex_);
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        if (!started_)
            return RECORDER_NOT_STARTED;
        if (scsiType != RECORDER_SCSI_TYPE_CDVD || callback == nullptr)
            return RECORDER_INVALID_ARGUMENT;
        // A scan invalidates every drive libburn handed out before, so the
        // grabbers of the previous search end here.
        ReleaseAllLocked();
        units_.clear();
    }
    // The scan can take long; it runs without the lock so that calls from
    // the UI thread meanwhile fail at once (no unit, no grabber) instead of
    // freezing the window until it is done.
    std::vector<Unit> scanned;
    std::string error;
    const bool done = ScanBuses(scanned, error);
    if (!done)
        std::fprintf(stderr, "KANDRIX: the drive scan failed: %s\n", error.c_str());
    Unit image;
    image.address = ImageFileRecorder::Address();
    image.vendor = ImageFileRecorder::kVendor;
    image.product = ImageFileRecorder::kProduct;
    image.revision = ImageFileRecorder::kRevision;
    image.image = true;
    scanned.push_back(image);

    std::vector<DeviceAddress> found;
    for (const Unit& unit : scanned)
        found.push_back(unit.address);
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

bool LibburnRecorder::ScanBuses(std::vector<Unit>& units, std::string& error)
{
    DiscardMessages();
    burn_drive_clear_whitelist();
    burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    // The scan runs in a thread of libburn's and is polled until it is done.
    const auto deadline = std::chrono::steady_clock::now() + kScanLimit;
    int result = 0;
    while ((result = burn_drive_scan(&infos, &count)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            error = "no answer from the drive scan within a minute";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (result < 0) {
        const LibburnMessage message = LatestMessage();
        error = message.present ? message.text : "libburn could not scan the buses";
        return false;
    }
    for (unsigned int i = 0; i < count; ++i)
        AddScannedUnit(units, infos[i], i);
    // Let go of every drive: a unit is acquired again only while a grabber
    // needs it, and stays free for other programs in between.
    for (unsigned int i = 0; i < count; ++i)
        burn_drive_info_forget(&infos[i], 0);
    if (infos != nullptr)
        burn_drive_info_free(infos);
    return true;
}

void LibburnRecorder::AddScannedUnit(std::vector<Unit>& units, burn_drive_info& info, size_t index)
{
    char path[BURN_DRIVE_ADR_LEN] = {};
    if (burn_drive_d_get_adr(info.drive, path) <= 0)
        return;
    Unit unit;
    unit.path = path;
    unit.address = UniqueAddress(units, unit.path, index);
    unit.vendor = FixedText(info.vendor, sizeof info.vendor);
    unit.product = FixedText(info.product, sizeof info.product);
    unit.revision = FixedText(info.revision, sizeof info.revision);
    unit.cacheSize = info.buffer_size > 0 ? static_cast<uint32_t>(info.buffer_size) * 1024u : 0;
    units.push_back(unit);
}

DeviceAddress LibburnRecorder::UniqueAddress(const std::vector<Unit>& units, const std::string& path,
                                             size_t index)
{
    int bus = -1, host = -1, channel = -1, target = -1, lun = -1;
    DeviceAddress address;
    std::string mutablePath = path;
    const bool known = burn_drive_obtain_scsi_adr(mutablePath.data(), &bus, &host, &channel, &target,
                                                  &lun) == 1;
    const bool fits = known && host >= 0 && host < kUnaddressedPort && channel >= 0 && channel < 256 &&
                      target >= 0 && target < 256 && lun >= 0 && lun < 256;
    if (fits) {
        address.port = static_cast<uint8_t>(host);
        address.bus = static_cast<uint8_t>(channel);
        address.target = static_cast<uint8_t>(target);
        address.lun = static_cast<uint8_t>(lun);
        if (FindUnitIn(units, address.port, address.bus, address.target, address.lun) < 0)
            return address;
    }
    address = DeviceAddress{};
    address.port = kUnaddressedPort;
    address.bus = static_cast<uint8_t>(index);
    return address;
}

int LibburnRecorder::FindUnitIn(const std::vector<Unit>& units, uint8_t port, uint8_t bus, uint8_t target,
                                uint8_t lun)
{
    for (size_t i = 0; i < units.size(); ++i) {
        const DeviceAddress& a = units[i].address;
        if (a.port == port && a.bus == bus && a.target == target && a.lun == lun)
            return static_cast<int>(i);
    }
    return -1;
}

int LibburnRecorder::FindUnit(uint8_t port, uint8_t bus, uint8_t target, uint8_t lun) const
{
    return FindUnitIn(units_, port, bus, target, lun);
}

bool LibburnRecorder::AcquireUnit(Unit& unit, std::string& error)
{
    if (unit.image || unit.grabbedInfo != nullptr)
        return true;
    DiscardMessages();
    std::string path = unit.path;
    burn_drive_info* info = nullptr;
    if (burn_drive_scan_and_grab(&info, path.data(), 0) != 1) {
        error = "could not acquire the drive " + unit.path;
        return false;
    }
    unit.grabbedInfo = info;
    return true;
}

void LibburnRecorder::LetGoOfUnit(Unit& unit, bool eject)
{
    if (unit.grabbedInfo == nullptr)
        return;
    burn_drive_release(unit.grabbedInfo[0].drive, eject ? 1 : 0);
    burn_drive_info_free(unit.grabbedInfo);
    unit.grabbedInfo = nullptr;
}

LibburnRecorder::Grabber* LibburnRecorder::FindGrabber(GrabberHandle handle)
{
    const auto it = grabbers_.find(reinterpret_cast<uintptr_t>(handle));
    return it != grabbers_.end() ? it->second.get() : nullptr;
}

burn_drive* LibburnRecorder::DriveOf(const Grabber& grabber)
{
    Unit& unit = units_[grabber.unit];
    return unit.grabbedInfo != nullptr ? unit.grabbedInfo[0].drive : nullptr;
}

RecorderException LibburnRecorder::CheckHandle(GrabberHandle handle, const CallReport& report,
                                               Grabber*& grabber)
{
    DiscardMessages();
    grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr)
        return Fail(report, RECORDER_INVALID_HANDLE, "the recorder was released or never opened");
    if (!units_[grabber->unit].image && DriveOf(*grabber) == nullptr)
        return Fail(report, RECORDER_GRAB_FAILED,
                    "the drive " + units_[grabber->unit].path + " is no longer acquired");
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::CdvdBurnerGrabberCreate(GrabberHandle* handle,
                                                           const CallReport& report,
                                                           RecorderCallback eventCallback,
                                                           void* context, uint8_t port, uint8_t bus,
                                                           uint8_t target, uint8_t lun, int cacheFlag)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (handle == nullptr)
        return Fail(report, RECORDER_INVALID_ARGUMENT, "no place for the recorder handle");
    *handle = nullptr;
    if (!started_)
        return Fail(report, RECORDER_NOT_STARTED, "the recording library is not started");
    const int index = FindUnit(port, bus, target, lun);
    if (index < 0) {
        char text[96];
        std::snprintf(text, sizeof text, "no recorder at SCSI address %d:%d:%d:%d", port, bus, target,
                      lun);
        return Fail(report, RECORDER_DEVICE_NOT_FOUND, text);
    }
    std::string error;
    if (!AcquireUnit(units_[index], error))
        return Fail(report, RECORDER_GRAB_FAILED, error);
    ++units_[index].grabCount;
    auto grabber = std::make_unique<Grabber>();
    grabber->unit = static_cast<size_t>(index);
    grabber->eventCallback = eventCallback;
    grabber->context = context;
    const uintptr_t id = nextHandle_++;
    *handle = reinterpret_cast<GrabberHandle>(id);
    grabbers_.emplace(id, std::move(grabber));
    return Succeed(report);
}

RecorderException LibburnRecorder::CdvdBurnerGrabberRelease(GrabberHandle* handle)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (handle == nullptr)
        return RECORDER_INVALID_ARGUMENT;
    const auto it = grabbers_.find(reinterpret_cast<uintptr_t>(*handle));
    *handle = nullptr;
    if (it == grabbers_.end())
        return RECORDER_INVALID_HANDLE;
    Unit& unit = units_[it->second->unit];
    grabbers_.erase(it);
    if (--unit.grabCount <= 0) {
        unit.grabCount = 0;
        LetGoOfUnit(unit);
    }
    return RECORDER_SUCCESS;
}

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
    const Unit& unit = units_[index];
    const std::string name = unit.image ? ImageFileRecorder::kDriveName : unit.path;
    std::memset(record, 0, RECORDER_DEVICE_NAME_RECORD_SIZE);
    CopyText(reinterpret_cast<char*>(record) + DEVICE_NAME_OFFSET,
             RECORDER_DEVICE_NAME_RECORD_SIZE - DEVICE_NAME_OFFSET, name);
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::GetDeviceInformation(GrabberHandle handle, char* vendor,
                                                        char* product, char* revision,
                                                        uint32_t* cacheSize)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr)
        return RECORDER_INVALID_HANDLE;
    const Unit& unit = units_[grabber->unit];
    CopyText(vendor, RECORDER_ID_TEXT_SIZE, unit.vendor);
    CopyText(product, RECORDER_ID_TEXT_SIZE, unit.product);
    CopyText(revision, RECORDER_ID_TEXT_SIZE, unit.revision);
    if (cacheSize != nullptr)
        *cacheSize = unit.cacheSize;
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::UnitReady(Grabber& grabber, const CallReport& report)
{
    if (units_[grabber.unit].image)
        return RECORDER_SUCCESS;
    burn_drive* drive = DriveOf(grabber);
    burn_disc_status status = burn_disc_get_status(drive);
    if (status == BURN_DISC_UNREADY || status == BURN_DISC_EMPTY) {
        // A disc inserted since the drive was acquired is seen only after a
        // fresh look.
        burn_drive_re_assess(drive, 0);
        status = burn_disc_get_status(drive);
    }
    if (status == BURN_DISC_EMPTY)
        return Fail(report, RECORDER_UNIT_NOT_READY, "no disc in " + units_[grabber.unit].path);
    if (status == BURN_DISC_UNREADY || status == BURN_DISC_UNGRABBED)
        return Fail(report, RECORDER_UNIT_NOT_READY, units_[grabber.unit].path + " is not ready");
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::TestUnitReady(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    if (RecorderException e = UnitReady(*grabber, report))
        return e;
    return Succeed(report);
}

int LibburnRecorder::GetInsertedDiscType(GrabberHandle handle)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr)
        return DISC_TYPE_UNKNOWN;
    if (units_[grabber->unit].image)
        return DISC_TYPE_OVERWRITABLE;
    burn_drive* drive = DriveOf(*grabber);
    if (drive == nullptr)
        return DISC_TYPE_NONE;
    const burn_disc_status status = burn_disc_get_status(drive);
    if (status == BURN_DISC_EMPTY || status == BURN_DISC_UNREADY || status == BURN_DISC_UNGRABBED)
        return DISC_TYPE_NONE;
    int profile = 0;
    char name[80] = {};
    if (burn_disc_get_profile(drive, &profile, name) != 1)
        return DISC_TYPE_NONE;
    return DiscTypeFromProfile(profile);
}

RecorderException LibburnRecorder::GetSpeeds(GrabberHandle handle, const CallReport& report,
                                             uint32_t* currentReadSpeed, uint32_t* maxReadSpeed,
                                             uint32_t* currentWriteSpeed, uint32_t* maxWriteSpeed)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    uint32_t read = 0;
    uint32_t highest = 0;
    if (units_[grabber->unit].image) {
        highest = ImageFileRecorder::HighestWriteSpeed();
        read = highest;
    } else {
        burn_drive* drive = DriveOf(*grabber);
        highest = ClampSpeed(burn_drive_get_write_speed(drive));
        read = ClampSpeed(burn_drive_get_read_speed(drive));
    }
    const uint32_t inForce = grabber->writeSpeedInForce != 0 ? grabber->writeSpeedInForce : highest;
    if (currentReadSpeed != nullptr)
        *currentReadSpeed = read;
    if (maxReadSpeed != nullptr)
        *maxReadSpeed = read;
    if (currentWriteSpeed != nullptr)
        *currentWriteSpeed = inForce;
    if (maxWriteSpeed != nullptr)
        *maxWriteSpeed = highest;
    return Succeed(report);
}

RecorderException LibburnRecorder::SetSpeeds(GrabberHandle handle, const CallReport& report,
                                             uint32_t readSpeed, uint32_t writeSpeed)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    if (writeSpeed == 0)
        return Fail(report, RECORDER_INVALID_ARGUMENT, "a write speed of 0 was asked for");
    if (units_[grabber->unit].image) {
        grabber->writeSpeedInForce = ImageFileRecorder::SpeedInForce(writeSpeed);
        return Succeed(report);
    }
    burn_drive* drive = DriveOf(*grabber);
    const int read = readSpeed >= RECORDER_MAX_READ_SPEED ? 0 : static_cast<int>(readSpeed);
    burn_drive_set_speed(drive, read, static_cast<int>(writeSpeed));
    if (MessageArrived())
        return Fail(report, RECORDER_COMMAND_FAILED, "the drive refused the write speed");
    // libburn does not read the speed back; the drive runs at the fastest of
    // its reported speeds that does not exceed the request, at its slowest
    // below them all, and as asked when it reports none.
    burn_speed_descriptor* best = nullptr;
    uint32_t inForce = 0;
    if (burn_drive_get_best_speed(drive, static_cast<int>(writeSpeed), &best, 0) > 0 && best != nullptr)
        inForce = ClampSpeed(best->write_speed);
    if (inForce == 0)
        inForce = ClampSpeed(burn_drive_get_min_write_speed(drive));
    grabber->writeSpeedInForce = inForce != 0 ? inForce : writeSpeed;
    return Succeed(report);
}

RecorderException LibburnRecorder::GetTrackInformation(GrabberHandle handle, const CallReport& report,
                                                       uint32_t track, unsigned char* record)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    if (record == nullptr)
        return Fail(report, RECORDER_INVALID_ARGUMENT, "no track information record");
    std::memset(record, 0, RECORDER_TRACK_INFO_SIZE);
    const bool image = units_[grabber->unit].image;
    if (image) {
        if (track != 1 && track != TRACK_RECORDED_AREA)
            return Fail(report, RECORDER_NO_SUCH_TRACK, "the image file has only one blank track");
        record[TRACK_INFO_BLANK_OFFSET] = 1;
        return Succeed(report);
    }
    if (RecorderException e = UnitReady(*grabber, report))
        return e;
    burn_drive* drive = DriveOf(*grabber);
    const std::vector<TrackEntry> tracks = TracksOf(drive);
    const burn_disc_status status = burn_disc_get_status(drive);
    const bool writable = status == BURN_DISC_BLANK || status == BURN_DISC_APPENDABLE;
    if (track == TRACK_RECORDED_AREA) {
        uint32_t recorded = 0;
        for (const TrackEntry& t : tracks)
            recorded += static_cast<uint32_t>(std::max(t.blocks, 0));
        record[TRACK_INFO_BLANK_OFFSET] = recorded == 0 ? 1 : 0;
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, recorded);
        return Succeed(report);
    }
    if (track >= 1 && track <= tracks.size()) {
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET,
                      static_cast<uint32_t>(std::max(tracks[track - 1].blocks, 0)));
        return Succeed(report);
    }
    if (track == tracks.size() + 1 && writable) {
        // The track still to be written: blank, with the free space as size.
        const off_t space = burn_disc_available_space(drive, nullptr);
        record[TRACK_INFO_BLANK_OFFSET] = 1;
        WriteRecord32(record, TRACK_INFO_BLOCKS_OFFSET, static_cast<uint32_t>(space / kBlockBytes));
        return Succeed(report);
    }
    char text[64];
    std::snprintf(text, sizeof text, "the disc has no track %u", track);
    return Fail(report, RECORDER_NO_SUCH_TRACK, text);
}

RecorderException LibburnRecorder::GetTOCInformation(GrabberHandle handle, const CallReport& report,
                                                     unsigned char* record)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    if (record == nullptr)
        return Fail(report, RECORDER_INVALID_ARGUMENT, "no table of contents record");
    std::memset(record, 0, RECORDER_TOC_SIZE);
    if (units_[grabber->unit].image)
        return Succeed(report);
    if (RecorderException e = UnitReady(*grabber, report))
        return e;
    const std::vector<TrackEntry> tracks = TracksOf(DriveOf(*grabber));
    const size_t count = std::min(tracks.size(), TOC_MAX_TRACKS);
    record[TOC_TRACK_COUNT_OFFSET] = static_cast<unsigned char>(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t base = TOC_TRACK_STRIDE * k;
        WriteRecord32(record, TOC_START_OFFSET + base, static_cast<uint32_t>(tracks[k].start));
        WriteRecord32(record, TOC_END_OFFSET + base,
                      static_cast<uint32_t>(tracks[k].start + tracks[k].blocks));
        WriteRecord32(record, TOC_BYTES_PER_BLOCK_OFFSET + base,
                      static_cast<uint32_t>(tracks[k].bytesPerBlock));
    }
    return Succeed(report);
}

RecorderException LibburnRecorder::Eject(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    Unit& unit = units_[grabber->unit];
    if (unit.image)
        return Succeed(report);
    // libburn ejects only when it lets go of a drive; the drive is acquired
    // again at once so the grabbers of this unit stay usable.
    LetGoOfUnit(unit, true);
    std::string error;
    if (!AcquireUnit(unit, error))
        return Fail(report, RECORDER_GRAB_FAILED, "the disc was ejected, but " + error);
    return Succeed(report);
}

RecorderException LibburnRecorder::CloseSession(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    // libburn closes the session as part of the write itself; what is left
    // here is to be sure the disc is still there.
    if (RecorderException e = UnitReady(*grabber, report))
        return e;
    return Succeed(report);
}

RecorderException LibburnRecorder::SendOPC(GrabberHandle handle, const CallReport& report)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    if (RecorderException e = UnitReady(*grabber, report))
        return e;
    // libburn calibrates at the start of the write when asked to.
    grabber->performOpc = true;
    return Succeed(report);
}

RecorderException LibburnRecorder::GetBUP(GrabberHandle handle, const CallReport& report,
                                          uint8_t* enabled, uint8_t* supported)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    bool canProtect = true;
    if (!units_[grabber->unit].image) {
        burn_write_opts* options = burn_write_opts_new(DriveOf(*grabber));
        if (options == nullptr)
            return Fail(report, RECORDER_COMMAND_FAILED, "no write options for the drive");
        canProtect = burn_write_opts_set_underrun_proof(options, 1) == 1;
        burn_write_opts_free(options);
    }
    if (enabled != nullptr)
        *enabled = grabber->underrunProtection ? 1 : 0;
    if (supported != nullptr)
        *supported = canProtect ? 1 : 0;
    return Succeed(report);
}

RecorderException LibburnRecorder::SetBUP(GrabberHandle handle, const CallReport& report,
                                          uint8_t enable)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    grabber->underrunProtection = enable != 0;
    return Succeed(report);
}

RecorderException LibburnRecorder::ProbeSupportedWriteModes(GrabberHandle handle,
                                                            const CallReport& report,
                                                            uint8_t* trackAtOnce,
                                                            uint8_t* sessionAtOnce,
                                                            uint8_t* discAtOncePq,
                                                            uint8_t* discAtOnceRawPw)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = nullptr;
    if (RecorderException e = CheckHandle(handle, report, grabber))
        return e;
    bool tao = true, sao = true, raw = false;
    if (!units_[grabber->unit].image) {
        burn_multi_caps* caps = nullptr;
        const int result = burn_disc_get_multi_caps(DriveOf(*grabber), BURN_WRITE_NONE, &caps, 0);
        if (result < 0) {
            burn_disc_free_multi_caps(&caps);
            return Fail(report, RECORDER_COMMAND_FAILED, "the drive's write modes could not be read");
        }
        tao = result > 0 && caps->might_do_tao > 0;
        sao = result > 0 && caps->might_do_sao > 0;
        raw = result > 0 && caps->might_do_raw > 0;
        burn_disc_free_multi_caps(&caps);
    }
    if (trackAtOnce != nullptr)
        *trackAtOnce = tao;
    if (sessionAtOnce != nullptr)
        *sessionAtOnce = sao;
    if (discAtOncePq != nullptr)
        *discAtOncePq = sao;
    if (discAtOnceRawPw != nullptr)
        *discAtOnceRawPw = raw;
    return Succeed(report);
}
