#pragma once
// The run's ordered list of recorders: row i of the recorder list on the
// output page is record i. The list-filling worker rebuilds it while the
// UI thread reads it, so it is guarded and hands out shared records: a record
// taken from the list stays valid after a rebuild drops it, and releases its
// grabber when its last user lets go.

#include <memory>
#include <mutex>
#include <vector>

class CDevice;

class DeviceList {
public:
    int Count() const;
    // nullptr when index is not a row of the list.
    std::shared_ptr<CDevice> At(int index) const;
    std::vector<std::shared_ptr<CDevice>> Snapshot() const;

    // Runs fn(CDevice&) on record index; false when there is no such row.
    template <class Fn>
    bool WithDevice(int index, Fn&& fn) const
    {
        const std::shared_ptr<CDevice> device = At(index);
        if (!device)
            return false;
        fn(*device);
        return true;
    }

    void Replace(std::vector<std::shared_ptr<CDevice>> devices);
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<CDevice>> devices_;
};
