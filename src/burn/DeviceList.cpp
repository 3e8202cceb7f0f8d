#include "burn/DeviceList.h"

#include "burn/CDevice.h"

int DeviceList::Count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(devices_.size());
}

std::shared_ptr<CDevice> DeviceList::At(int index) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= devices_.size())
        return nullptr;
    return devices_[index];
}

std::vector<std::shared_ptr<CDevice>> DeviceList::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return devices_;
}

void DeviceList::Replace(std::vector<std::shared_ptr<CDevice>> devices)
{
    std::vector<std::shared_ptr<CDevice>> old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old.swap(devices_);
        devices_ = std::move(devices);
    }
    // The old records release their grabbers here, outside the lock.
}

void DeviceList::Clear()
{
    Replace({});
}
