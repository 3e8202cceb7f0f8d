#include "burn/CDevice.h"

#include "app/Log.h"
#include "burn/DeviceList.h"
#include "recorder/DiscTypes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using PendingDevices = std::vector<std::shared_ptr<CDevice>>;

// Queries need a grabber but no events.
void IgnoreEvents(int, void*, void*, void*) {}

// Copies a library text into a fixed field, cut at the field's size even when
// the source is not terminated within its own buffer.
void CopyField(char* field, size_t fieldSize, const char* source, size_t sourceSize)
{
    const size_t length = strnlen(source, std::min(sourceSize, fieldSize - 1));
    std::memcpy(field, source, length);
    field[length] = '\0';
}

std::mutex& SearchMutex()
{
    static std::mutex mutex;
    return mutex;
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
    // Two searches at once would each publish half a list.
    std::lock_guard<std::mutex> lock(SearchMutex());
    InitStarBurnDll();
    PendingDevices found;
    Recorder().FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, &CDevice::FindDeviceCallback, &found);
    // The new list replaces the old one whole, so a reader on the UI thread
    // sees one or the other, never a list being filled; the old records
    // release their grabbers as they go.
    Devices().Replace(std::move(found));
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::FindDevices(): found %d devices \r\n",
              Devices().Count());
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

CallReport CDevice::Report()
{
    return CallReport{exceptionText_, sizeof exceptionText_, &status_, &failureDetails_};
}

void CDevice::BeginCall()
{
    status_ = RECORDER_STATUS_UNSET;
    lastException_ = RECORDER_SUCCESS;
}

bool CDevice::EndCall(RecorderException exception)
{
    lastException_ = exception;
    // The text is logged and handed out; a library that filled the whole
    // buffer must not run a reader past it.
    exceptionText_[sizeof exceptionText_ - 1] = '\0';
    return exception == RECORDER_SUCCESS;
}

bool CDevice::QuerySpeeds(uint32_t& writeInForce, uint32_t& highest)
{
    uint32_t readInForce = 0, highestRead = 0;
    BeginCall();
    return EndCall(grabberLibrary_->GetSpeeds(grabber_, Report(), &readInForce, &highestRead, &writeInForce,
                                              &highest));
}

bool CDevice::CdvdBurnerGrabberCreate(RecorderCallback callback)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // The old grabber would hold the unit for nobody.
    ReleaseGrabber();
    BeginCall();
    RecorderLibrary& library = Recorder();
    GrabberHandle handle = nullptr;
    if (!EndCall(library.CdvdBurnerGrabberCreate(&handle, Report(), callback, this, address_.port,
                                                 address_.bus, address_.target, address_.lun, 1))) {
        // A library that handed out a handle along with its failure still
        // gets it back.
        if (handle != nullptr)
            library.CdvdBurnerGrabberRelease(&handle);
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::CdvdBurnerGrabberCreate: StarBurn_CdvdBurnerGrabber_Create() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(lastException_), static_cast<long>(status_), exceptionText_);
        return false;
    }
    grabber_ = handle;
    grabberLibrary_ = &library;
    return true;
}

void CDevice::ReleaseGrabber()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (grabber_ == nullptr)
        return;
    grabberLibrary_->CdvdBurnerGrabberRelease(&grabber_);
    grabber_ = nullptr;
    grabberLibrary_ = nullptr;
}

bool CDevice::EnsureGrabber()
{
    return grabber_ != nullptr || CdvdBurnerGrabberCreate(IgnoreEvents);
}

bool CDevice::RefreshDeviceInfo()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    char vendor[DEVICE_TEXT_SIZE] = {};
    char product[DEVICE_TEXT_SIZE] = {};
    char revision[DEVICE_TEXT_SIZE] = {};
    uint32_t cacheSize = 0;
    const RecorderException identified =
        grabberLibrary_->GetDeviceInformation(grabber_, vendor, product, revision, &cacheSize);
    lastException_ = identified;
    if (identified == RECORDER_SUCCESS) {
        CopyField(vendor_, sizeof vendor_, vendor, sizeof vendor);
        CopyField(product_, sizeof product_, product, sizeof product);
        CopyField(revision_, sizeof revision_, revision, sizeof revision);
        cacheSize_ = cacheSize;
    }
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "OK!\nCDevice::RefreshDeviceInfo()): Found CD/DVD device '%s' '%s' '%s'\n", vendor_,
              product_, revision_);
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::RefreshDeviceInfo(): With %ld UCHAR(s) of cache\n",
              static_cast<long>(cacheSize_));

    unsigned char record[RECORDER_DEVICE_NAME_RECORD_SIZE] = {};
    const RecorderException named = grabberLibrary_->GetDeviceNameByDeviceAddress(
        address_.port, address_.bus, address_.target, address_.lun, record);
    if (named != RECORDER_SUCCESS) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::RefreshDeviceInfo(): StarBurn_GetDeviceNameByDeviceAddress() failed, exception %d \n",
                  static_cast<int>(named));
        return false;
    }
    CopyField(driveName_, sizeof driveName_, reinterpret_cast<const char*>(record) + DEVICE_NAME_OFFSET,
              sizeof record - DEVICE_NAME_OFFSET);
    return true;
}

bool CDevice::TestUnitReady()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    BeginCall();
    return EndCall(grabberLibrary_->TestUnitReady(grabber_, Report()));
}

bool CDevice::RefreshDiscType()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    if (TestUnitReady()) {
        discType_ = grabberLibrary_->GetInsertedDiscType(grabber_);
        return true;
    }
    discType_ = DISC_TYPE_NONE;
    return false;
}

bool CDevice::GetTrackInfo(uint32_t track, TrackInfoRecord& record)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    BeginCall();
    if (!EndCall(grabberLibrary_->GetTrackInformation(grabber_, Report(), track, record.data()))) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::GetTrackInfo: StarBurn_CdvdBurnerGrabber_GetTrackInformation() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(lastException_), static_cast<long>(status_), exceptionText_);
        return false;
    }
    return true;
}

bool CDevice::RefreshMediaSize()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber() || !TestUnitReady()) {
        mediaSize_ = 0.0;
        mediaSizeKnown_ = true;
        return false;
    }
    const int discType = grabberLibrary_->GetInsertedDiscType(grabber_);
    if (discType >= DISC_TYPE_DVDRW_RO && discType <= DISC_TYPE_OVERWRITABLE) {
        TrackInfoRecord record{};
        // An unreadable recorded area is not an empty one: the disc may hold
        // data that a burn would overwrite.
        if (!GetTrackInfo(TRACK_RECORDED_AREA, record)) {
            mediaSizeKnown_ = false;
            return false;
        }
        mediaSize_ = ReadRecord32(record.data(), TRACK_INFO_BLOCKS_OFFSET) * 2048.0;
        mediaSizeKnown_ = true;
        return true;
    }
    std::vector<unsigned char> toc(RECORDER_TOC_SIZE, 0);
    BeginCall();
    if (!EndCall(grabberLibrary_->GetTOCInformation(grabber_, Report(), toc.data()))) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetTOCInformation() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(lastException_), static_cast<long>(status_), exceptionText_);
        mediaSize_ = 0.0;
        // Nor is an unreadable table of contents an empty one.
        mediaSizeKnown_ = false;
        return false;
    }
    const int tracks = toc[TOC_TRACK_COUNT_OFFSET];
    double size = 0.0;
    for (int k = 0; k < tracks; ++k) {
        const size_t base = TOC_TRACK_STRIDE * static_cast<size_t>(k);
        const uint32_t start = ReadRecord32(toc.data(), TOC_START_OFFSET + base);
        const uint32_t end = ReadRecord32(toc.data(), TOC_END_OFFSET + base);
        const uint32_t bytesPerBlock = ReadRecord32(toc.data(), TOC_BYTES_PER_BLOCK_OFFSET + base);
        size += static_cast<double>(static_cast<int32_t>(end - start)) * bytesPerBlock;
    }
    mediaSize_ = size;
    mediaSizeKnown_ = true;
    return true;
}

bool CDevice::RefreshMediaInfo()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    RefreshDiscType();
    RefreshMediaSize();
    return true;
}

bool CDevice::IsDiscBlank()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    switch (discType_) {
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
        return mediaSizeKnown_ && mediaSize_ == 0.0;
    default:
        return false;
    }
}

bool CDevice::GetWriteSpeeds(SpeedList& list)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    list.clear();
    if (!EnsureGrabber())
        return false;
    uint32_t writeInForce = 0, highest = 0;
    if (!QuerySpeeds(writeInForce, highest)) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
                  "\n\nGetWriteSpeeds(): StarBurn_CdvdBurnerGrabber_GetSpeeds() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(lastException_), static_cast<long>(status_), exceptionText_);
        return false;
    }
    switch (discType_) {
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
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    BeginCall();
    if (!EndCall(grabberLibrary_->SetSpeeds(grabber_, Report(), RECORDER_MAX_READ_SPEED, speed)))
        return false;
    uint32_t writeInForce = 0, highest = 0;
    if (!QuerySpeeds(writeInForce, highest))
        return false;
    speed = writeInForce;
    return true;
}

bool CDevice::Eject()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!EnsureGrabber())
        return false;
    BeginCall();
    if (!EndCall(grabberLibrary_->Eject(grabber_, Report()))) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(lastException_), static_cast<long>(status_), exceptionText_);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Ejecting Error!");
        return false;
    }
    LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Eject");
    return true;
}

std::string CDevice::GetVendorId() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return vendor_;
}

std::string CDevice::GetProductId() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return product_;
}

std::string CDevice::GetRevision() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return revision_;
}

std::string CDevice::GetDeviceName() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return driveName_;
}

uint32_t CDevice::GetCacheSize() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return cacheSize_;
}

int CDevice::GetDiscType() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return discType_;
}

double CDevice::GetMediaSize() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return mediaSize_;
}

// Read by the burn page's timer while a burn holds the record, so it takes
// no lock.
uint16_t CDevice::GetProgress() const
{
    return static_cast<uint16_t>(progress_.load());
}

DeviceAddress CDevice::GetAddress() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return address_;
}

bool CDevice::HasGrabber() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return grabber_ != nullptr;
}

RecorderException CDevice::GetLastException() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return lastException_;
}

std::string CDevice::GetExceptionText() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return exceptionText_;
}
