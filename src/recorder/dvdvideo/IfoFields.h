#pragma once
// The few fields of DVD-Video IFO files that say where the files of a video
// manager or title set lie. Sector numbers count from the start of the IFO.

#include <cstdint>
#include <map>
#include <string>

struct VmgFields {
    uint32_t lastSector = 0;    // last sector of the whole manager, backup included
    uint32_t ifoLastSector = 0; // last sector of VIDEO_TS.IFO
    uint32_t menuVobSector = 0; // 0: no VIDEO_TS.VOB
    uint16_t titleSetCount = 0;
    std::map<int, uint32_t> titleSetSectors; // title set number -> its start
};

struct VtsFields {
    uint32_t lastSector = 0;
    uint32_t ifoLastSector = 0;
    uint32_t menuVobSector = 0;  // 0: no VTS_nn_0.VOB
    uint32_t titleVobSector = 0;
};

// False with the cause (naming the file) in *error when path cannot be read
// or is not a complete IFO of that kind.
bool ReadVmgFields(const std::string& path, const std::string& name, VmgFields* fields, std::string* error);
bool ReadVtsFields(const std::string& path, const std::string& name, VtsFields* fields, std::string* error);
