#include "settings/BurnerLists.h"

#include "burn/CDevice.h"
#include "burn/DeviceList.h"


std::string RecorderRowText(const CDevice& device)
{
    return "[" + device.GetDeviceName() + "]" + device.GetProductId() + "-" + device.GetVendorId() + ")";
}

BurnerLists SearchBurners(int wantedRow)
{
    BurnerLists lists;
    CDevice::FindDevices();
    lists.devices = Devices().Snapshot();
    for (const std::shared_ptr<CDevice>& device : lists.devices) {
        // A recorder that cannot say who it is still gets its row.
        device->RefreshDeviceInfo();
        device->RefreshMediaInfo();
        lists.rows.push_back(RecorderRowText(*device));
    }
    const int count = static_cast<int>(lists.devices.size());
    if (count == 0)
        return lists;
    lists.speedRow = wantedRow >= 0 && wantedRow < count ? wantedRow : 0;
    lists.devices[lists.speedRow]->GetWriteSpeeds(lists.speeds);
    return lists;
}
