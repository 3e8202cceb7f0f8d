#include "settings/BurnerLists.h"

#include "burn/CDevice.h"
#include "burn/DeviceList.h"

std::string RecorderRowText(const CDevice& device)
{
    return "[" + device.GetDeviceName() + "]" + device.GetProductId() + "-" + device.GetVendorId() + ")";
}

BurnerLists SearchBurners(RecorderLibrary& library, DeviceList& list)
{
    BurnerLists lists;
    CDevice::FindDevices(library, list);
    lists.devices = list.Snapshot();
    for (const std::shared_ptr<CDevice>& device : lists.devices) {
        // A recorder that cannot say who it is still gets its row.
        device->RefreshDeviceInfo();
        device->RefreshMediaInfo();
        device->RefreshWriteSpeeds();
        lists.rows.push_back(RecorderRowText(*device));
    }
    return lists;
}
