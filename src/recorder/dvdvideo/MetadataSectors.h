#pragma once
// The image's sectors that do not belong to a file: descriptors, directories,
// path tables. Only sectors that hold something are kept; all others read as
// zero. Their count grows with the number of files, never with their size.

#include <cstdint>
#include <map>
#include <vector>

class MetadataSectors {
public:
    // The sector's 2048 bytes, zero-filled on first use.
    uint8_t* At(int64_t sector);
    // Copies bytes over consecutive sectors from first on.
    void Put(int64_t first, const std::vector<uint8_t>& bytes);
    // The sector's bytes, or nullptr when it is all zero.
    const uint8_t* Find(int64_t sector) const;

private:
    std::map<int64_t, std::vector<uint8_t>> sectors_;
};
