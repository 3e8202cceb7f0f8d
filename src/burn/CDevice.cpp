#include "burn/CDevice.h"

#include "core/Log.h"
#include "burn/DeviceList.h"
#include "recorder/DiscTypes.h"
#include "recorder/ImageFileRecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// What one search fills.
struct PendingDevices {
    RecorderLibrary& library;
    std::vector<std::shared_ptr<CDevice>> found;
};

// Queries need a grabber but no events.
void IgnoreEvents(int, void*, void*, void*) {}

// A library text cut at its field's size, even when the source is not
// terminated within its own buffer.
std::string FieldText(const char* source, size_t sourceSize, size_t fieldSize)
{
    return std::string(source, strnlen(source, std::min(sourceSize, fieldSize - 1)));
}

} // namespace

CDevice::CDevice(RecorderLibrary& library, const DeviceAddress& address) : library_(library), address_(address) {}

CDevice::~CDevice()
{
    ReleaseGrabber();
}

bool CDevice::InitStarBurnDll(RecorderLibrary& library)
{
    const RecorderException exception = library.UpStartEx();
    if (exception != RECORDER_SUCCESS) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Can't UpStartEx StarBurn");
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\nCDevice::InitStarBurnDll():StarBurn_UpStartEx() failed, exception %ld \n",
                  static_cast<long>(exception));
        return false;
    }
    return true;
}

void CDevice::FindDevices(RecorderLibrary& library, DeviceList& list)
{
    InitStarBurnDll(library);
    // Each search fills a list of its own and the library runs one scan at a
    // time, so no lock is needed here and none is held while the discovery
    // callback logs.
    PendingDevices pending{library, {}};
    library.FindDevice(RECORDER_SCSI_TYPE_CDVD, 0, &CDevice::FindDeviceCallback, &pending);
    const int count = static_cast<int>(pending.found.size());
    // The new list replaces the old one whole, so a reader on the UI thread
    // sees one or the other, never a list being filled; the old records
    // release their grabbers as they go.
    list.Replace(std::move(pending.found));
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO, "CDevice::FindDevices(): found %d devices \r\n", count);
}

void CDevice::FindDeviceCallback(int reason, void* context, void* param1, void*)
{
    if (reason != RECORDER_REASON_DEVICE_FOUND || param1 == nullptr || context == nullptr)
        return;
    auto& pending = *static_cast<PendingDevices*>(context);
    const DeviceAddress address = *static_cast<const DeviceAddress*>(param1);
    auto device = std::make_shared<CDevice>(pending.library, address);
    LogPrintf(LOG_CHANNEL_TRACE, LOG_INFO,
              "\nCDevice::FindDeviceCallback): Probing SCSI address %ld:%ld:%ld:%ld for CD/DVD device... ",
              static_cast<long>(address.port), static_cast<long>(address.bus),
              static_cast<long>(address.target), static_cast<long>(address.lun));
    pending.found.push_back(std::move(device));
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
            result.End(call(library_, grabber_, result.Report()));
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
    GrabberHandle handle = nullptr;
    const bool created = result.End(library_.CdvdBurnerGrabberCreate(
        &handle, result.Report(), callback, this, address_.port, address_.bus, address_.target, address_.lun, 1));
    if (created) {
        grabber_ = handle;
    } else if (handle != nullptr) {
        // A library that handed out a handle along with its failure still
        // gets it back.
        library_.CdvdBurnerGrabberRelease(&handle);
    }
    Publish(result);
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_.hasGrabber = created;
    return created;
}

bool CDevice::CdvdBurnerGrabberCreate(RecorderCallback callback)
{
    CallResult result;
    return CreateGrabber(callback, result);
}

bool CDevice::CreateGrabber(RecorderCallback callback, CallResult& result)
{
    bool created = false;
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        if (writing_) {
            result.Refuse("The recorder is busy writing a disc");
            return false;
        }
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
    library_.CdvdBurnerGrabberRelease(&grabber_);
    grabber_ = nullptr;
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
                library_.GetDeviceInformation(grabber_, vendor, product, revision, &cacheSize);
            named = library_.GetDeviceNameByDeviceAddress(address_.port, address_.bus, address_.target,
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

bool CDevice::CallOk(CallResult& result, const GrabberOp& call)
{
    return GrabberCall(result, call) == Access::Ready && result.Ok();
}

StepResult CDevice::Eject()
{
    CallResult result;
    const Access access =
        GrabberCall(result, [](RecorderLibrary& library, GrabberHandle grabber, const CallReport& report) {
            return library.Eject(grabber, report);
        });
    if (access == Access::Ready && result.Ok()) {
        LogPrintf(LOG_CHANNEL_BURN, LOG_INFO, "Eject");
        return StepResult::Done();
    }
    if (access == Access::Ready) {
        LogPrintf(LOG_CHANNEL_TRACE, LOG_ERROR,
                  "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception %ld, status %ld, text '%s'\n",
                  static_cast<long>(result.exception), static_cast<long>(result.status), result.text);
        LogPrintf(LOG_CHANNEL_BURN, LOG_ERROR, "Ejecting Error!");
    }
    return StepResult::Failed("Eject", *result.text != '\0' ? result.text : "the recorder did not open its tray");
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

int64_t CDevice::GetMediaCapacity() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.mediaCapacity;
}

bool CDevice::IsImageFileRecorder() const
{
    return address_.port == ImageFileRecorder::kPort;
}

SpeedList CDevice::GetWriteSpeeds() const
{
    std::lock_guard<std::mutex> lock(factsMutex_);
    return facts_.writeSpeeds;
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
