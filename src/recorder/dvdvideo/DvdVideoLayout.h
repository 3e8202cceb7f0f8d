#pragma once
// Where each file of a VIDEO_TS folder must lie on the disc. DVD-Video players
// find the title sets by the sector numbers in VIDEO_TS.IFO and the VOBs and
// backups by those in each title set's IFO, not through the file system, so
// the layout is read from the IFOs, not from the names.

#include <cstdint>
#include <string>
#include <vector>

struct PlacedFile {
    std::string name; // as on the disc, e.g. "VTS_01_1.VOB"
    std::string path;
    int64_t size = 0;
    int64_t sector = 0; // counted from the first sector of VIDEO_TS.IFO
    int64_t modified = 0; // seconds since 1970, UTC
};

struct DvdVideoLayout {
    std::vector<PlacedFile> files; // in disc order
    int64_t sectors = 0;           // from VIDEO_TS.IFO to the end of the last title set
};

// Reads the IFOs of folder (the VIDEO_TS folder itself). False, with the file
// name and the fault in *error, when the folder is not a DVD-Video tree whose
// files fit where their IFOs place them.
bool PlanDvdVideoLayout(const std::string& folder, DvdVideoLayout* layout, std::string* error);
