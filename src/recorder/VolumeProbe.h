#pragma once
// Overwritable media (DVD+RW, DVD-RW in restricted overwrite, DVD-RAM) look
// blank to libburn whatever they hold; a file system on them shows in the
// volume descriptor at block 16.

#include <cstdint>

namespace burn {
struct burn_drive;
} // namespace burn

// Reads block 16 of the grabbed drive. True when it holds an ISO 9660 or UDF
// volume descriptor; blocks is then the ISO volume's size, or at least 1.
bool FindRecordedVolume(burn::burn_drive* drive, uint32_t& blocks);

// The same test on the bytes of block 16.
bool VolumeDescriptorBlocks(const unsigned char* block, uint32_t& blocks);
