#include "UdfCheck.h"

#include "ImageProbe.h"

#include <cstdint>

namespace {

uint32_t Le16(const uint8_t* at)
{
    return at[0] | (uint32_t(at[1]) << 8);
}
uint32_t Le32(const uint8_t* at)
{
    return Le16(at) | (Le16(at + 2) << 16);
}

// Bit by bit, as the standard describes it.
uint16_t SlowCrc(const uint8_t* data, size_t size)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t(data[i]) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    }
    return static_cast<uint16_t>(crc);
}

class Walker {
public:
    explicit Walker(const std::string& image) : image_(ReadWholeFile(image)) {}

    UdfCheckResult Run()
    {
        size_t sectors = image_.size() / 2048;
        if (sectors < 258)
            return Fault("image too small for UDF"), result_;
        const uint8_t* anchor = Sector(256);
        if (!Tag(anchor, 2, 256, "anchor at 256") || !Tag(Sector(sectors - 1), 2, static_cast<uint32_t>(sectors - 1),
                                                            "anchor at the end"))
            return result_;
        Sequence(Le32(anchor + 20), Le32(anchor + 16) / 2048, "main");
        Sequence(Le32(anchor + 28), Le32(anchor + 24) / 2048, "reserve");
        if (partitionStart_ == 0)
            return Fault("no partition descriptor"), result_;
        Tag(Sector(integrity_), 9, integrity_, "integrity descriptor");
        const uint8_t* fileSet = Block(fileSet_);
        if (Tag(fileSet, 256, fileSet_, "file set descriptor"))
            Entry(Le32(fileSet + 404), "/", 0);
        return result_;
    }

private:
    void Fault(const std::string& text) { result_.faults.push_back(text); }

    const uint8_t* Sector(uint64_t sector)
    {
        static const uint8_t zero[2048] = {};
        if ((sector + 1) * 2048 > image_.size())
            return zero;
        return reinterpret_cast<const uint8_t*>(image_.data()) + sector * 2048;
    }
    const uint8_t* Block(uint32_t block) { return Sector(partitionStart_ + block); }

    bool Tag(const uint8_t* at, uint32_t id, uint32_t location, const std::string& what, size_t expectedCrcLength = 0)
    {
        uint8_t sum = 0;
        for (int i = 0; i < 16; ++i)
            if (i != 4)
                sum = static_cast<uint8_t>(sum + at[i]);
        uint32_t crcLength = Le16(at + 10);
        std::string fault;
        if (Le16(at) != id)
            fault = "tag identifier " + std::to_string(Le16(at)) + ", not " + std::to_string(id);
        else if (sum != at[4])
            fault = "tag checksum wrong";
        else if (Le16(at + 2) != 2)
            fault = "descriptor version not 2";
        else if (SlowCrc(at + 16, crcLength) != Le16(at + 8))
            fault = "CRC wrong";
        else if (Le32(at + 12) != location)
            fault = "tag location " + std::to_string(Le32(at + 12)) + ", not " + std::to_string(location);
        else if (expectedCrcLength != 0 && crcLength != expectedCrcLength)
            fault = "CRC covers " + std::to_string(crcLength) + " bytes, not " + std::to_string(expectedCrcLength);
        if (!fault.empty()) {
            Fault(what + ": " + fault);
            return false;
        }
        ++result_.descriptors;
        return true;
    }

    void Sequence(uint32_t first, uint32_t sectors, const std::string& name)
    {
        for (uint32_t sector = first; sector < first + sectors; ++sector) {
            const uint8_t* at = Sector(sector);
            uint32_t id = Le16(at);
            if (!Tag(at, id, sector, name + " sequence sector " + std::to_string(sector)))
                return;
            if (id == 5)
                partitionStart_ = Le32(at + 188);
            if (id == 6) {
                fileSet_ = Le32(at + 252);
                integrity_ = Le32(at + 436);
            }
            if (id == 8)
                return;
        }
        Fault(name + " sequence has no terminating descriptor");
    }

    void Entry(uint32_t block, const std::string& path, int depth)
    {
        const uint8_t* entry = Block(block);
        uint32_t eaLength = Le32(entry + 168);
        uint32_t adLength = Le32(entry + 172);
        if (!Tag(entry, 261, block, "file entry of " + path, 176 + eaLength + adLength - 16))
            return;
        bool directory = entry[27] == 4;
        ++(directory ? result_.directories : result_.files);
        if (!directory || depth > 4)
            return;
        if (adLength != 8)
            return Fault(path + ": " + std::to_string(adLength) + " bytes of allocation descriptors");
        const uint8_t* ad = entry + 176 + eaLength;
        uint32_t length = Le32(ad) & 0x3FFFFFFF;
        uint32_t start = Le32(ad + 4);
        std::string data;
        for (uint32_t i = 0; i * 2048 < length; ++i)
            data.append(reinterpret_cast<const char*>(Block(start + i)), 2048);
        for (uint32_t offset = 0; offset < length;) {
            const uint8_t* fid = reinterpret_cast<const uint8_t*>(data.data()) + offset;
            uint32_t size = (38 + fid[19] + Le16(fid + 36) + 3) & ~3u;
            if (!Tag(fid, 257, start + offset / 2048, "identifier in " + path, size - 16))
                return;
            if ((fid[18] & 0x08) == 0) {
                std::string name(reinterpret_cast<const char*>(fid + 38 + Le16(fid + 36) + 1), fid[19] - 1);
                Entry(Le32(fid + 24), path + name + (fid[18] & 0x02 ? "/" : ""), depth + 1);
            }
            offset += size;
        }
    }

    std::string image_;
    UdfCheckResult result_;
    uint32_t partitionStart_ = 0;
    uint32_t fileSet_ = 0;
    uint32_t integrity_ = 0;
};

} // namespace

UdfCheckResult CheckUdfDescriptors(const std::string& image)
{
    return Walker(image).Run();
}
