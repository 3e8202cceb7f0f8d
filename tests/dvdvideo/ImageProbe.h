#pragma once
// Reading a DVD-Video image back with tools no one here wrote, and checking
// that every VIDEO_TS file starts at the sector its IFO demands.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ImageExtent {
    int64_t sector = -1;
    int64_t size = -1;
};
// By the file's name in VIDEO_TS, e.g. "VTS_01_1.VOB".
using ImageListing = std::map<std::string, ImageExtent>;

// The ISO 9660 side, as `isoinfo -l` lists it.
ImageListing ListIsoSide(const std::string& image, std::string* log);
// The UDF side, as libdvdread finds the files.
ImageListing ListUdfSide(const std::string& image);

// Every file of the VIDEO_TS folder must be in the listing, with its size,
// at the sector that the IFO fields give relative to where the listing puts
// VIDEO_TS.IFO. Returns what is wrong, one text per fault.
std::vector<std::string> CheckIfoPlacement(const std::string& videoTs, const ImageListing& listing);

// Each file's bytes at its extent in the image equal the file's.
std::vector<std::string> CheckExtentBytes(const std::string& image, const std::string& videoTs,
                                          const ImageListing& listing);

std::string ReadWholeFile(const std::string& path);
