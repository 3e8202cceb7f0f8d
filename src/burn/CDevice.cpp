#include "burn/CDevice.h"

#include "app/Log.h"
#include "burn/DeviceList.h"
#include "recorder/DiscTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using PendingDevices = std::vector<std::shared_ptr<CDevice>>;

// Queries need a grabber but no events.
void IgnoreEvents(int, void*, void*, void*) {}

// A library text cut at its field's size, even when the source is not
// terminated within its own buffer.
std::string FieldText(const char* source, size_t sourceSize, size_t fieldSize)
{
    return std::string(source, strnlen(source, std::min(sourceSize, fieldSize - 1)));
}

} // namespace

CDevice::CDevice(const DeviceAddress& address) : address_(address) {}

CDevice::~CDevice()
{
    ReleaseGrabber();
}

bool CDevice::InitStarBurnDll()
{
    const RecorderException exception = Recorder().UpStartEx();
    if (exception != RECORDER_SUCCESS) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Can't UpStartEx StarBurn");
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\nCDevice::InitStarBurnDll():StarBurn_UpStartEx() failed, exception %ld \n",
                  static_cast<long>(exception));
        return false;
    }
    return true;
}

void CDevice::FindDevices()
{
    InitStarBurnDll();
    // Each search fills a list of its own and the library runs one scan at a
    // time, so no lock is needed here and none is held while the discovery
    // callback logs.
    PendingDevices found;
    Recorder().FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, &CDevice::FindDeviceCallback, &found);
    const int count = static_cast<int>(found.size());
    // The new list replaces the old one whole, so a reader on the UI thread
    // sees one or the other, never a list being filled; the old records
    // release their grabbers as they go.
    Devices().Replace(std::move(found));
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::FindDevices(): found %d devices \r\n", count);
}

void CDevice::FindDeviceCallback(int reason, void* context, void* param1, void*)
{
    if (reason != RECORDER_REASON_DEVICE_FOUND || param1 == nullptr)
        return;
    const DeviceAddress address = *static_cast<const DeviceAddress*>(param1);
    auto device = std::make_shared<CDevice>(address);
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "\nCDevice::FindDeviceCallback): Probing SCSI address %ld:%ld:%ld:%ld for CD/DVD device... ",
              static_cast<long>(address.port), static_cast<long>(address.bus),
              static_cast<long>(address.target), static_cast<long>(address.lun));
    if (context != nullptr)
        static_cast<PendingDevices*>(context)->push_back(std::move(device));
    else
        Devices().Append(std::move(device));
}

void CDevice::CallResult::Refuse(const char* why)
{
    exception = RECORDER_COMMAND_FAILED;
    status = RECORDER_STATUS_FAILED;
    std::snprintf(text, sizeof text, "%s", why);
}

void CDevice::Publish(const CallResult& result)
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_.lastException = result.exception;
    facts_.status = result.status;
    facts_.exceptionText = result.text;
    facts_.failureDetails = result.details;
}

CDevice::Access CDevice::AccessLocked(CallResult& create)
{
    // Another call on the unit while it writes would disturb the write, and
    // waiting for the write could take the whole burn.
    if (writing_) {
        create.Refuse("The recorder is busy writing a disc");
        return Access::Busy;
    }
    if (grabber_ != nullptr || CreateGrabberLocked(IgnoreEvents, create))
        return Access::Ready;
    return Access::NoGrabber;
}

bool CDevice::Refused(Access access, const CallResult& create)
{
    if (access == Access::NoGrabber)
        LogCreateFailure(create);
    return false;
}

void CDevice::LogCreateFailure(const CallResult& result)
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
              "\n\nCDevice::CdvdBurnerGrabberCreate: StarBurn_CdvdBurnerGrabber_Create() failed, exception %ld, status %ld, text '%s'\n",
              static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
}

CDevice::Access CDevice::GrabberCall(CallResult& result, const GrabberOp& call)
{
    CallResult create;
    Access access;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            result.End(call(*grabberLibrary_, grabber_, result.Report()));
            Publish(result);
        }
    }
    if (access != Access::Ready) {
        result = create;
        Refused(access, create);
    }
    return access;
}

bool CDevice::CreateGrabberLocked(RecorderCallback callback, CallResult& result)
{
    // The old grabber would hold the unit for nobody.
    ReleaseGrabberLocked();
    RecorderLibrary& library = Recorder();
    GrabberHandle handle = nullptr;
    const bool created = result.End(library.CdvdBurnerGrabberCreate(
        &handle, result.Report(), callback, this, address_.port, address_.bus, address_.target, address_.lun, 1));
    if (created) {
        grabber_ = handle;
        grabberLibrary_ = &library;
    } else if (handle != nullptr) {
        // A library that handed out a handle along with its failure still
        // gets it back.
        library.CdvdBurnerGrabberRelease(&handle);
    }
    Publish(result);
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_.hasGrabber = created;
    return created;
}

bool CDevice::CdvdBurnerGrabberCreate(RecorderCallback callback)
{
    CallResult result;
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        if (writing_)
            return false;
        created = CreateGrabberLocked(callback, result);
    }
    if (!created)
        LogCreateFailure(result);
    return created;
}

void CDevice::ReleaseGrabberLocked()
{
    if (grabber_ == nullptr)
        return;
    grabberLibrary_->CdvdBurnerGrabberRelease(&grabber_);
    grabber_ = nullptr;
    grabberLibrary_ = nullptr;
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_.hasGrabber = false;
}

void CDevice::ReleaseGrabber()
{
    std::lock_guard<std::mutex> lock(ioMutex_);
    // The write releases nothing it runs on; the grabber goes after it.
    if (!writing_)
        ReleaseGrabberLocked();
}

bool CDevice::RefreshDeviceInfo()
{
    CallResult create;
    Access access;
    char vendor[DEVICE_TEXT_SIZE] = {};
    char product[DEVICE_TEXT_SIZE] = {};
    char revision[DEVICE_TEXT_SIZE] = {};
    uint32_t cacheSize = 0;
    unsigned char record[RECORDER_DEVICE_NAME_RECORD_SIZE] = {};
    RecorderException named = RECORDER_SUCCESS;
    RecorderFacts shown;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            const RecorderException identified =
                grabberLibrary_->GetDeviceInformation(grabber_, vendor, product, revision, &cacheSize);
            named = grabberLibrary_->GetDeviceNameByDeviceAddress(address_.port, address_.bus, address_.target,
                                                                  address_.lun, record);
            std::lock_guard<std::mutex> factsLock(factsMutex_);
            facts_.lastException = identified;
            if (identified == RECORDER_SUCCESS) {
                facts_.vendor = FieldText(vendor, sizeof vendor, DEVICE_TEXT_SIZE);
                facts_.product = FieldText(product, sizeof product, DEVICE_TEXT_SIZE);
                facts_.revision = FieldText(revision, sizeof revision, DEVICE_TEXT_SIZE);
                facts_.cacheSize = cacheSize;
            }
            if (named == RECORDER_SUCCESS) {
                facts_.driveName = FieldText(reinterpret_cast<const char*>(record) + DEVICE_NAME_OFFSET,
                                             sizeof record - DEVICE_NAME_OFFSET, DEVICE_NAME_SIZE);
            }
            shown = facts_;
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "OK!\nCDevice::RefreshDeviceInfo()): Found CD/DVD device '%s' '%s' '%s'\n", shown.vendor.c_str(),
              shown.product.c_str(), shown.revision.c_str());
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::RefreshDeviceInfo(): With %ld UCHAR(s) of cache\n",
              static_cast<long>(shown.cacheSize));
    if (named != RECORDER_SUCCESS) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::RefreshDeviceInfo(): StarBurn_GetDeviceNameByDeviceAddress() failed, exception %d \n",
                  static_cast<int>(named));
        return false;
    }
    return true;
}

bool CDevice::TestUnitReady()
{
    CallResult result;
    const Access access =
        GrabberCall(result, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.TestUnitReady(grabber, report);
        });
    return access == Access::Ready && result.Ok();
}

bool CDevice::RefreshDiscType()
{
    CallResult create;
    CallResult ready;
    Access access;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            ready.End(grabberLibrary_->TestUnitReady(grabber_, ready.Report()));
            Publish(ready);
            const int discType = ready.Ok() ? grabberLibrary_->GetInsertedDiscType(grabber_) : DISC_TYPE_NONE;
            std::lock_guard<std::mutex> factsLock(factsMutex_);
            facts_.discType = discType;
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    return ready.Ok();
}

bool CDevice::GetTrackInfoLocked(uint32_t track, TrackInfoRecord& record, CallResult& result)
{
    result.End(grabberLibrary_->GetTrackInformation(grabber_, result.Report(), track, record.data()));
    Publish(result);
    return result.Ok();
}

void CDevice::LogTrackInfoFailure(const CallResult& result)
{
    LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
              "\n\nCDevice::GetTrackInfo: StarBurn_CdvdBurnerGrabber_GetTrackInformation() failed, exception %ld, status %ld, text '%s'\n",
              static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
}

bool CDevice::GetTrackInfo(uint32_t track, TrackInfoRecord& record)
{
    CallResult result;
    const Access access =
        GrabberCall(result, [&](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.GetTrackInformation(grabber, report, track, record.data());
        });
    if (access != Access::Ready)
        return false;
    if (!result.Ok())
        LogTrackInfoFailure(result);
    return result.Ok();
}

bool CDevice::CallOk(CallResult& result, const GrabberOp& call)
{
    return GrabberCall(result, call) == Access::Ready && result.Ok();
}

bool CDevice::RefreshMediaSize()
{
    CallResult create;
    CallResult failure;
    Access access;
    bool known = true;
    bool sized = false;
    bool trackInfoFailed = false;
    double size = 0.0;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        CallResult ready;
        if (access == Access::Ready) {
            ready.End(grabberLibrary_->TestUnitReady(grabber_, ready.Report()));
            Publish(ready);
        }
        if (access == Access::Ready && ready.Ok()) {
            const int discType = grabberLibrary_->GetInsertedDiscType(grabber_);
            if (discType >= DISC_TYPE_DVDRW_RO && discType <= DISC_TYPE_OVERWRITABLE) {
                TrackInfoRecord record{};
                // An unreadable recorded area is not an empty one: the disc may
                // hold data that a burn would overwrite.
                sized = GetTrackInfoLocked(TRACK_RECORDED_AREA, record, failure);
                trackInfoFailed = !sized;
                if (sized)
                    size = ReadRecord32(record.data(), TRACK_INFO_BLOCKS_OFFSET) * 2048.0;
            } else {
                std::vector<unsigned char> toc(RECORDER_TOC_SIZE, 0);
                sized = failure.End(grabberLibrary_->GetTOCInformation(grabber_, failure.Report(), toc.data()));
                Publish(failure);
                const int tracks = sized ? toc[TOC_TRACK_COUNT_OFFSET] : 0;
                for (int k = 0; k < tracks; ++k) {
                    const size_t base = TOC_TRACK_STRIDE * static_cast<size_t>(k);
                    const uint32_t start = ReadRecord32(toc.data(), TOC_START_OFFSET + base);
                    const uint32_t end = ReadRecord32(toc.data(), TOC_END_OFFSET + base);
                    const uint32_t bytesPerBlock = ReadRecord32(toc.data(), TOC_BYTES_PER_BLOCK_OFFSET + base);
                    size += static_cast<double>(static_cast<int32_t>(end - start)) * bytesPerBlock;
                }
            }
            // Nor is an unreadable table of contents an empty one.
            known = sized;
        }
        if (access != Access::Busy) {
            std::lock_guard<std::mutex> factsLock(factsMutex_);
            // A failed track query keeps the size it had.
            if (!trackInfoFailed)
                facts_.mediaSize = size;
            facts_.mediaSizeKnown = known;
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (trackInfoFailed)
        LogTrackInfoFailure(failure);
    else if (!sized && failure.exception != RECORDER_SUCCESS)
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetTOCInformation() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(failure.exception), static_cast<long>(failure.status), failure.text);
    return sized;
}

bool CDevice::RefreshMediaInfo()
{
    RefreshDiscType();
    RefreshMediaSize();
    return true;
}

bool CDevice::IsDiscBlank()
{
    const RecorderFacts facts = GetFacts();
    switch (facts.discType) {
    case DISC_TYPE_CDR:
    case DISC_TYPE_CDRW:
    case DISC_TYPE_DVDR:
    case DISC_TYPE_DVDPLUSR:
    case DISC_TYPE_DVD_DL: {
        TrackInfoRecord record{};
        return GetTrackInfo(1, record) && record[TRACK_INFO_BLANK_OFFSET] != 0;
    }
    case DISC_TYPE_DVDROM:
    case DISC_TYPE_DVDRW_RO:
    case DISC_TYPE_DVDPLUSRW:
    case DISC_TYPE_OVERWRITABLE:
        return facts.mediaSizeKnown && facts.mediaSize == 0.0;
    default:
        return false;
    }
}

bool CDevice::QuerySpeedsLocked(uint32_t& writeInForce, uint32_t& highest, CallResult& result)
{
    uint32_t readInForce = 0, highestRead = 0;
    result.End(grabberLibrary_->GetSpeeds(grabber_, result.Report(), &readInForce, &highestRead, &writeInForce,
                                          &highest));
    Publish(result);
    return result.Ok();
}

bool CDevice::GetWriteSpeeds(SpeedList& list)
{
    list.clear();
    CallResult create;
    CallResult result;
    Access access;
    uint32_t writeInForce = 0, highest = 0;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready)
            QuerySpeedsLocked(writeInForce, highest, result);
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (!result.Ok()) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
                  "\n\nGetWriteSpeeds(): StarBurn_CdvdBurnerGrabber_GetSpeeds() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
        return false;
    }
    switch (GetDiscType()) {
    case DISC_TYPE_CDR:
    case DISC_TYPE_CDRW:
    case 11: // two CD kinds of the library that no libburn profile maps to
    case 12:
        ProbeSpeeds(CD_SPEED_TABLE, CD_SPEED_TABLE_SIZE, highest, list);
        break;
    case DISC_TYPE_DVDR:
    case DISC_TYPE_DVDRAM:
    case DISC_TYPE_DVDRW_RO:
    case DISC_TYPE_DVDPLUSRW:
    case DISC_TYPE_OVERWRITABLE:
    case DISC_TYPE_DVDPLUSR:
    case DISC_TYPE_DVD_DL:
        ProbeSpeeds(DVD_SPEED_TABLE, DVD_SPEED_TABLE_SIZE, highest, list);
        break;
    case DISC_TYPE_NONE:
        ListNominalSpeeds(highest, list);
        break;
    default:
        break;
    }
    return true;
}

// Asks the recorder for each nominal speed up to its highest and keeps the
// speeds it really puts in force, each labelled with the nearest nominal one.
// Every request takes the I/O lock on its own, so other calls on the unit
// need not wait for the whole probe.
void CDevice::ProbeSpeeds(const SpeedEntry* table, size_t rows, uint32_t highest, SpeedList& list)
{
    if (highest < table[0].speed)
        return;
    uint32_t previous = 0;
    for (size_t i = 0; i < rows && table[i].speed <= highest; ++i) {
        if (table[i].speed <= previous)
            continue;
        uint32_t speed = table[i].speed;
        if (SetSpeed(speed) && speed != previous) {
            const char* label = NearestSpeedLabel(table, rows, speed);
            const bool listed = std::any_of(list.begin(), list.end(),
                                            [speed](const SpeedEntry& e) { return e.speed == speed; });
            if (label != nullptr && !listed)
                list.push_back({speed, label});
        }
        previous = speed;
    }
}

void CDevice::ListNominalSpeeds(uint32_t highest, SpeedList& list)
{
    if (highest < CD_SPEED_TABLE[0].speed)
        return;
    for (const SpeedEntry& row : CD_SPEED_TABLE) {
        if (row.speed <= highest)
            list.push_back(row);
    }
}

bool CDevice::SetSpeed(uint32_t& speed)
{
    CallResult create;
    CallResult result;
    Access access;
    uint32_t writeInForce = 0, highest = 0;
    bool set = false;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        access = AccessLocked(create);
        if (access == Access::Ready) {
            result.End(grabberLibrary_->SetSpeeds(grabber_, result.Report(), RECORDER_MAX_READ_SPEED, speed));
            Publish(result);
            set = result.Ok() && QuerySpeedsLocked(writeInForce, highest, result);
        }
    }
    if (access != Access::Ready)
        return Refused(access, create);
    if (set)
        speed = writeInForce;
    return set;
}

bool CDevice::Eject()
{
    CallResult result;
    const Access access =
        GrabberCall(result, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.Eject(grabber, report);
        });
    if (access != Access::Ready)
        return false;
    if (!result.Ok()) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Ejecting Error!");
        return false;
    }
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Eject");
    return true;
}

RecorderFacts CDevice::GetFacts() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_;
}

std::string CDevice::GetVendorId() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.vendor;
}

std::string CDevice::GetProductId() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.product;
}

std::string CDevice::GetRevision() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.revision;
}

std::string CDevice::GetDeviceName() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.driveName;
}

uint32_t CDevice::GetCacheSize() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.cacheSize;
}

int CDevice::GetDiscType() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.discType;
}

double CDevice::GetMediaSize() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.mediaSize;
}

uint16_t CDevice::GetProgress() const
{
    return static_cast<uint16_t>(progress_.load());
}

DeviceAddress CDevice::GetAddress() const
{
    return address_;
}

bool CDevice::HasGrabber() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.hasGrabber;
}

RecorderException CDevice::GetLastException() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.lastException;
}

std::string CDevice::GetExceptionText() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.exceptionText;
}
