#include "recorder/VolumeProbe.h"

#include <libburn/libburn.h>

#include <cstring>

using namespace burn;

namespace {

constexpr int kBlockBytes = 2048;
constexpr off_t kDescriptorBlock = 16;
// In the primary volume descriptor: the volume space size, both byte orders.
constexpr size_t kIsoVolumeSpaceSize = 80;
// The volume recognition area alone, for a UDF volume that gives no size here.
constexpr uint32_t kRecognitionBlocks = 32;

} // namespace

bool VolumeDescriptorBlocks(const unsigned char* block, uint32_t& blocks)
{
    const char* id = reinterpret_cast<const char*>(block + 1);
    if (std::memcmp(id, "CD001", 5) == 0) {
        blocks = 0;
        if (block[0] == 1) {
            const unsigned char* le = block + kIsoVolumeSpaceSize;
            blocks = le[0] | (le[1] << 8) | (le[2] << 16) | (static_cast<uint32_t>(le[3]) << 24);
        }
        if (blocks == 0)
            blocks = kRecognitionBlocks;
        return true;
    }
    if (std::memcmp(id, "BEA01", 5) == 0 || std::memcmp(id, "NSR02", 5) == 0 ||
        std::memcmp(id, "NSR03", 5) == 0) {
        blocks = kRecognitionBlocks;
        return true;
    }
    return false;
}

bool FindRecordedVolume(burn_drive* drive, uint32_t& blocks)
{
    blocks = 0;
    if (drive == nullptr)
        return false;
    char block[kBlockBytes] = {};
    off_t count = 0;
    // Quietly: a blank medium has nothing to read there.
    if (burn_read_data(drive, kDescriptorBlock * kBlockBytes, block, kBlockBytes, &count, 2 | 4) != 1 ||
        count != kBlockBytes)
        return false;
    return VolumeDescriptorBlocks(reinterpret_cast<unsigned char*>(block), blocks);
}
