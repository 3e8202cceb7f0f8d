#pragma once
// Nominal write speeds and the write-speed list entry. Speeds are in KBps of
// 1000 bytes per second.

#include <cstddef>
#include <cstdint>
#include <vector>

struct SpeedEntry {
    uint32_t speed;
    const char* label; // one of the speed tables' constant texts
};

using SpeedList = std::vector<SpeedEntry>;

// 706 for "4.0x" and 1400 for "8.0x" are what recorders are asked for, not
// multiples of 176.
inline constexpr SpeedEntry CD_SPEED_TABLE[] = {
    {176, "1.0x"},   {353, "2.0x"},   {387, "2.2x"},   {528, "3.0x"},   {706, "4.0x"},
    {1400, "8.0x"},  {1760, "10.0x"}, {2112, "12.0x"}, {2800, "16.0x"}, {4224, "24.0x"},
    {5632, "32.0x"}, {7040, "40.0x"}, {7744, "44.0x"}, {8448, "48.0x"}, {9152, "52.0x"},
};

inline constexpr SpeedEntry DVD_SPEED_TABLE[] = {
    {1385, "1.0x"}, {2770, "2.0x"}, {3324, "2.4x"},  {4155, "3.0x"},   {5540, "4.0x"},
    {6925, "5.0x"}, {8310, "6.0x"}, {11080, "8.0x"}, {16620, "12.0x"}, {22160, "16.0x"},
};

constexpr size_t CD_SPEED_TABLE_SIZE = sizeof CD_SPEED_TABLE / sizeof CD_SPEED_TABLE[0];
constexpr size_t DVD_SPEED_TABLE_SIZE = sizeof DVD_SPEED_TABLE / sizeof DVD_SPEED_TABLE[0];
static_assert(CD_SPEED_TABLE_SIZE == 15 && DVD_SPEED_TABLE_SIZE == 10);

// The label of the nominal row nearest to speed (a tie goes to the slower
// row); nullptr above the table's last row.
const char* NearestSpeedLabel(const SpeedEntry* table, size_t rows, uint32_t speed);
