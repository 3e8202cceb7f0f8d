#pragma once
// One scan of the buses for recorders, done by libburn in a thread of its own.

#include "recorder/RecorderLibrary.h"
#include "recorder/RecorderUnit.h"

#include <memory>
#include <string>
#include <vector>

// The drives found, each let go again at once and with an address no other
// has; false, with the cause, when libburn could not scan.
bool ScanDrives(std::vector<std::shared_ptr<RecorderUnit>>& drives, std::string& error);

inline bool SameAddress(const DeviceAddress& a, uint8_t port, uint8_t bus, uint8_t target, uint8_t lun)
{
    return a.port == port && a.bus == bus && a.target == target && a.lun == lun;
}
