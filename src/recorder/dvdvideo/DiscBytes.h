#pragma once
// Byte-order helpers for on-disc structures: ISO 9660 stores numbers in both
// byte orders, UDF in little-endian only.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace DiscBytes {

constexpr int64_t kSectorSize = 2048;

using Block = std::vector<uint8_t>;

inline void Le16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
inline void Le32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Le64(uint8_t* at, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Be16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}
inline void Be32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
inline void Both16(uint8_t* at, uint32_t value)
{
    Le16(at, value);
    Be16(at + 2, value);
}
inline void Both32(uint8_t* at, uint32_t value)
{
    Le32(at, value);
    Be32(at + 4, value);
}

inline uint32_t ReadBe16(const uint8_t* at)
{
    return (uint32_t(at[0]) << 8) | at[1];
}
inline uint32_t ReadBe32(const uint8_t* at)
{
    return (uint32_t(at[0]) << 24) | (uint32_t(at[1]) << 16) | (uint32_t(at[2]) << 8) | at[3];
}

// Copies text into a field of width bytes, the rest filled with fill.
inline void Text(uint8_t* at, size_t width, const std::string& text, uint8_t fill = ' ')
{
    std::memset(at, fill, width);
    std::memcpy(at, text.data(), text.size() < width ? text.size() : width);
}

inline int64_t SectorsFor(int64_t bytes)
{
    return (bytes + kSectorSize - 1) / kSectorSize;
}

} // namespace DiscBytes
