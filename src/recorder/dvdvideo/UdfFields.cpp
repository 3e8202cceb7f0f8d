#include "recorder/dvdvideo/UdfFields.h"

#include "recorder/dvdvideo/DiscBytes.h"

#include <array>

using namespace DiscBytes;

namespace UdfFields {

namespace {

constexpr uint16_t kUdfRevision = 0x0102;
constexpr uint8_t kOsClassUnix = 4;
constexpr uint8_t kOsLinux = 5;

std::array<uint16_t, 256> MakeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

bool FitsEightBits(const std::u32string& text)
{
    for (char32_t c : text)
        if (c > 0xFF)
            return false;
    return true;
}

} // namespace

uint16_t Crc(const uint8_t* data, size_t size)
{
    static const std::array<uint16_t, 256> table = MakeCrcTable();
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

void Tag(uint8_t* descriptor, uint16_t id, uint32_t location, size_t length)
{
    Le16(descriptor, id);
    Le16(descriptor + 2, 2);
    descriptor[5] = 0;
    Le16(descriptor + 6, 1);
    Le16(descriptor + 8, Crc(descriptor + 16, length - 16));
    Le16(descriptor + 10, static_cast<uint32_t>(length - 16));
    Le32(descriptor + 12, location);
    uint8_t sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4)
            sum = static_cast<uint8_t>(sum + descriptor[i]);
    descriptor[4] = sum;
}

void DString(uint8_t* at, size_t width, const std::u32string& text)
{
    for (size_t i = 0; i < width; ++i)
        at[i] = 0;
    if (text.empty())
        return;
    bool narrow = FitsEightBits(text);
    size_t room = narrow ? width - 2 : (width - 2) / 2;
    size_t count = text.size() < room ? text.size() : room;
    at[0] = narrow ? 8 : 16;
    size_t used = 1;
    for (size_t i = 0; i < count; ++i) {
        char32_t c = text[i] > 0xFFFF ? U'\uFFFD' : text[i];
        if (!narrow)
            at[used++] = static_cast<uint8_t>(c >> 8);
        at[used++] = static_cast<uint8_t>(c);
    }
    at[width - 1] = static_cast<uint8_t>(used);
}

size_t FileIdentifierSize(const std::string& name)
{
    return name.size() + 1;
}

size_t FileIdentifier(uint8_t* at, const std::string& name)
{
    at[0] = 8;
    for (size_t i = 0; i < name.size(); ++i)
        at[1 + i] = static_cast<uint8_t>(name[i]);
    return FileIdentifierSize(name);
}

void CharSpec(uint8_t* at)
{
    at[0] = 0;
    Text(at + 1, 63, "OSTA Compressed Unicode", 0);
}

void Timestamp(uint8_t* at, const DiscTime& time)
{
    // Type 1 (local time) with an offset of 0 minutes: the times are UTC.
    Le16(at, 1u << 12);
    Le16(at + 2, static_cast<uint32_t>(time.year));
    at[4] = static_cast<uint8_t>(time.month);
    at[5] = static_cast<uint8_t>(time.day);
    at[6] = static_cast<uint8_t>(time.hour);
    at[7] = static_cast<uint8_t>(time.minute);
    at[8] = static_cast<uint8_t>(time.second);
    at[9] = static_cast<uint8_t>(time.hundredths);
    at[10] = 0;
    at[11] = 0;
}

void EntityId(uint8_t* at, const std::string& identifier, Suffix suffix)
{
    at[0] = 0;
    Text(at + 1, 23, identifier, 0);
    uint8_t* tail = at + 24;
    for (int i = 0; i < 8; ++i)
        tail[i] = 0;
    switch (suffix) {
    case Suffix::None:
        break;
    case Suffix::Domain:
        Le16(tail, kUdfRevision);
        break;
    case Suffix::Udf:
        Le16(tail, kUdfRevision);
        tail[2] = kOsClassUnix;
        tail[3] = kOsLinux;
        break;
    case Suffix::Implementation:
        tail[0] = kOsClassUnix;
        tail[1] = kOsLinux;
        break;
    }
}

void ExtentAd(uint8_t* at, uint32_t length, uint32_t location)
{
    Le32(at, length);
    Le32(at + 4, location);
}

void ShortAd(uint8_t* at, uint32_t length, uint32_t block)
{
    Le32(at, length);
    Le32(at + 4, block);
}

void LongAd(uint8_t* at, uint32_t length, uint32_t block)
{
    Le32(at, length);
    Le32(at + 4, block);
    Le16(at + 8, 0);
    for (int i = 10; i < 16; ++i)
        at[i] = 0;
}

} // namespace UdfFields
