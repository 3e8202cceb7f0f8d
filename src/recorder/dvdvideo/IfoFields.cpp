#include "recorder/dvdvideo/IfoFields.h"

#include "recorder/dvdvideo/DiscBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace DiscBytes;

namespace {

// The management table fields read here all lie in the IFO's first 256 bytes.
constexpr size_t kHeaderBytes = 256;
constexpr int kMaxTitles = 99;

class IfoFile {
public:
    IfoFile(const std::string& path, const std::string& name) : name_(name)
    {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error_ = name_ + ": cannot be opened: " + std::strerror(errno);
            return;
        }
        struct stat info {};
        if (fstat(fd_, &info) != 0) {
            error_ = name_ + ": cannot be read: " + std::strerror(errno);
            return;
        }
        size_ = info.st_size;
    }
    ~IfoFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    IfoFile(const IfoFile&) = delete;
    IfoFile& operator=(const IfoFile&) = delete;

    const std::string& Error() const { return error_; }
    int64_t Size() const { return size_; }

    bool Read(int64_t offset, size_t count, std::vector<uint8_t>* bytes, const char* what)
    {
        if (offset + static_cast<int64_t>(count) > size_) {
            error_ = name_ + ": truncated: its " + what + " would end at byte " +
                     std::to_string(offset + static_cast<int64_t>(count)) + " but the file has " +
                     std::to_string(size_) + " bytes";
            return false;
        }
        bytes->assign(count, 0);
        size_t done = 0;
        while (done < count) {
            ssize_t got = pread(fd_, bytes->data() + done, count - done, offset + static_cast<off_t>(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                error_ = name_ + ": cannot be read: " + (got < 0 ? std::strerror(errno) : "unexpected end of file");
                return false;
            }
            done += static_cast<size_t>(got);
        }
        return true;
    }

    // The IFO's own size must be what its header says, or the sectors that
    // follow it on the disc would not be where the header puts them.
    bool CheckLength(uint32_t lastSector)
    {
        int64_t sectors = SectorsFor(size_);
        if (sectors == int64_t(lastSector) + 1)
            return true;
        error_ = name_ + ": " + (sectors < int64_t(lastSector) + 1 ? "truncated" : "longer than its header says") +
                 ": " + std::to_string(size_) + " bytes, its header gives " + std::to_string(int64_t(lastSector) + 1) +
                 " sectors";
        return false;
    }

    bool Fail(const std::string& what)
    {
        error_ = name_ + ": " + what;
        return false;
    }

private:
    std::string name_;
    int fd_ = -1;
    int64_t size_ = 0;
    std::string error_;
};

bool CheckMark(IfoFile& file, const std::vector<uint8_t>& header, const char* mark)
{
    if (std::memcmp(header.data(), mark, 12) == 0)
        return true;
    return file.Fail(std::string("not a DVD-Video IFO (no ") + mark + " mark)");
}

bool ReadTitleTable(IfoFile& file, uint32_t tableSector, uint32_t ifoLastSector, VmgFields* fields)
{
    if (tableSector == 0 || tableSector > ifoLastSector)
        return file.Fail("its title table pointer (sector " + std::to_string(tableSector) + ") lies outside the file");
    std::vector<uint8_t> table;
    int64_t offset = int64_t(tableSector) * kSectorSize;
    if (!file.Read(offset, 8, &table, "title table"))
        return false;
    uint32_t titles = ReadBe16(table.data());
    if (titles == 0 || titles > kMaxTitles)
        return file.Fail("its title table lists " + std::to_string(titles) + " titles");
    if (!file.Read(offset + 8, titles * 12, &table, "title table"))
        return false;
    for (uint32_t i = 0; i < titles; ++i) {
        const uint8_t* entry = table.data() + i * 12;
        int titleSet = entry[6];
        uint32_t start = ReadBe32(entry + 8);
        if (titleSet < 1 || titleSet > fields->titleSetCount)
            return file.Fail("title " + std::to_string(i + 1) + " names title set " + std::to_string(titleSet) +
                             " of " + std::to_string(fields->titleSetCount));
        auto known = fields->titleSetSectors.find(titleSet);
        if (known != fields->titleSetSectors.end() && known->second != start)
            return file.Fail("its titles place title set " + std::to_string(titleSet) + " at two sectors (" +
                             std::to_string(known->second) + " and " + std::to_string(start) + ")");
        fields->titleSetSectors[titleSet] = start;
    }
    return true;
}

} // namespace

bool ReadVmgFields(const std::string& path, const std::string& name, VmgFields* fields, std::string* error)
{
    IfoFile file(path, name);
    std::vector<uint8_t> header;
    bool ok = file.Error().empty() && file.Read(0, kHeaderBytes, &header, "header") &&
              CheckMark(file, header, "DVDVIDEO-VMG");
    if (ok) {
        *fields = VmgFields();
        fields->lastSector = ReadBe32(&header[0x0C]);
        fields->ifoLastSector = ReadBe32(&header[0x1C]);
        fields->titleSetCount = static_cast<uint16_t>(ReadBe16(&header[0x3E]));
        fields->menuVobSector = ReadBe32(&header[0xC0]);
        ok = file.CheckLength(fields->ifoLastSector);
        if (ok && (fields->titleSetCount == 0 || fields->titleSetCount > kMaxTitles))
            ok = file.Fail("it names " + std::to_string(fields->titleSetCount) + " title sets");
        if (ok)
            ok = ReadTitleTable(file, ReadBe32(&header[0xC4]), fields->ifoLastSector, fields);
    }
    if (!ok)
        *error = file.Error();
    return ok;
}

bool ReadVtsFields(const std::string& path, const std::string& name, VtsFields* fields, std::string* error)
{
    IfoFile file(path, name);
    std::vector<uint8_t> header;
    bool ok = file.Error().empty() && file.Read(0, kHeaderBytes, &header, "header") &&
              CheckMark(file, header, "DVDVIDEO-VTS");
    if (ok) {
        fields->lastSector = ReadBe32(&header[0x0C]);
        fields->ifoLastSector = ReadBe32(&header[0x1C]);
        fields->menuVobSector = ReadBe32(&header[0xC0]);
        fields->titleVobSector = ReadBe32(&header[0xC4]);
        ok = file.CheckLength(fields->ifoLastSector);
    }
    if (!ok)
        *error = file.Error();
    return ok;
}
