#include "recorder/DriveScan.h"

#include "recorder/DriveUnit.h"

#include <libburn/libburn.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace burn;

namespace {

constexpr auto kScanLimit = std::chrono::seconds(60);
// Real units that have no SCSI address of their own are numbered here.
constexpr uint8_t kUnaddressedPort = 254;

std::string FixedText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

bool AddressTaken(const std::vector<std::shared_ptr<RecorderUnit>>& drives, const DeviceAddress& address)
{
    for (const auto& drive : drives) {
        if (SameAddress(drive->Identity().address, address.port, address.bus, address.target, address.lun))
            return true;
    }
    return false;
}

DeviceAddress UniqueAddress(const std::vector<std::shared_ptr<RecorderUnit>>& drives, const std::string& path,
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
        if (!AddressTaken(drives, address))
            return address;
    }
    address = DeviceAddress{};
    address.port = kUnaddressedPort;
    address.bus = static_cast<uint8_t>(index);
    return address;
}

void AddScannedDrive(std::vector<std::shared_ptr<RecorderUnit>>& drives, burn_drive_info& info, size_t index)
{
    char path[BURN_DRIVE_ADR_LEN] = {};
    if (burn_drive_d_get_adr(info.drive, path) <= 0)
        return;
    UnitIdentity identity;
    identity.name = path;
    identity.address = UniqueAddress(drives, identity.name, index);
    identity.vendor = FixedText(info.vendor, sizeof info.vendor);
    identity.product = FixedText(info.product, sizeof info.product);
    identity.revision = FixedText(info.revision, sizeof info.revision);
    identity.cacheSize = info.buffer_size > 0 ? static_cast<uint32_t>(info.buffer_size) * 1024u : 0;
    drives.push_back(std::make_shared<DriveUnit>(identity, identity.name));
}

} // namespace

bool ScanDrives(std::vector<std::shared_ptr<RecorderUnit>>& drives, std::string& error)
{
    DiscardLibburnMessages();
    burn_drive_clear_whitelist();
    burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    const auto deadline = std::chrono::steady_clock::now() + kScanLimit;
    for (;;) {
        const int result = burn_drive_scan(&infos, &count);
        if (result > 0)
            break;
        if (result < 0) {
            const LibburnMessage message = LatestLibburnMessage();
            // A write that just ended is over for libburn a moment later.
            const bool writeEnding = message.present && message.text.find("still going on") != std::string::npos;
            if (!writeEnding) {
                error = message.present ? message.text : "libburn could not scan the buses";
                return false;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = "no answer from the drive scan within a minute";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (unsigned int i = 0; i < count; ++i)
        AddScannedDrive(drives, infos[i], i);
    // Let go of every drive: a unit is acquired again only while a grabber
    // needs it, and stays free for other programs in between.
    for (unsigned int i = 0; i < count; ++i)
        burn_drive_info_forget(&infos[i], 0);
    if (infos != nullptr)
        burn_drive_info_free(infos);
    return true;
}
