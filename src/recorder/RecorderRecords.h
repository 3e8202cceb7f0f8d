#pragma once
// The records the library fills for the recorder code. Only the bytes named
// here carry meaning; the rest stay zero. 32-bit values are in the machine's
// own byte order.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Device name record: the unit's name, terminated, from byte 4.
constexpr size_t RECORDER_DEVICE_NAME_RECORD_SIZE = 256;
constexpr size_t DEVICE_NAME_OFFSET = 4;

// Track information record: blank flag at byte 9, count of 2048-byte blocks
// at byte 16. Track 255 stands for the recorded area of an overwritable disc.
constexpr size_t RECORDER_TRACK_INFO_SIZE = 64;
constexpr size_t TRACK_INFO_BLANK_OFFSET = 9;
constexpr size_t TRACK_INFO_BLOCKS_OFFSET = 16;
constexpr uint32_t TRACK_RECORDED_AREA = 255;

// Table of contents: track count (8-bit) at byte 10, then per track k three
// 32-bit values: start block at 15 + 34k, end block at 22 + 34k and bytes per
// block at 38 + 34k. Sized for the 255 tracks an 8-bit count can name.
constexpr size_t TOC_TRACK_COUNT_OFFSET = 10;
constexpr size_t TOC_MAX_TRACKS = 255;
constexpr size_t TOC_TRACK_STRIDE = 34;
constexpr size_t TOC_START_OFFSET = 15;
constexpr size_t TOC_END_OFFSET = 22;
constexpr size_t TOC_BYTES_PER_BLOCK_OFFSET = 38;
constexpr size_t RECORDER_TOC_SIZE = TOC_BYTES_PER_BLOCK_OFFSET + TOC_TRACK_STRIDE * (TOC_MAX_TRACKS - 1) + 4;

inline uint32_t ReadRecord32(const unsigned char* record, size_t offset)
{
    uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

inline void WriteRecord32(unsigned char* record, size_t offset, uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}
