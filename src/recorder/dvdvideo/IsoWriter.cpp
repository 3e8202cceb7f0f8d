#include "recorder/dvdvideo/IsoWriter.h"

#include "recorder/dvdvideo/DiscBytes.h"
#include "recorder/dvdvideo/VolumeLabel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace DiscBytes;

namespace {

constexpr uint8_t kDirectoryFlag = 0x02;

struct Record {
    std::string identifier; // "\0" for ".", "\1" for ".."
    int64_t sector;
    int64_t bytes;
    uint8_t flags;
    DiscTime time;
};

void RecordingTime(uint8_t* at, const DiscTime& time)
{
    at[0] = static_cast<uint8_t>(time.year - 1900);
    at[1] = static_cast<uint8_t>(time.month);
    at[2] = static_cast<uint8_t>(time.day);
    at[3] = static_cast<uint8_t>(time.hour);
    at[4] = static_cast<uint8_t>(time.minute);
    at[5] = static_cast<uint8_t>(time.second);
    at[6] = 0; // UTC
}

void VolumeTime(uint8_t* at, const DiscTime* time)
{
    char digits[17];
    if (time == nullptr)
        std::memcpy(digits, "0000000000000000", 17);
    else
        std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d%02d", time->year, time->month, time->day,
                      time->hour, time->minute, time->second, time->hundredths);
    std::memcpy(at, digits, 16);
    at[16] = 0;
}

// a-characters: upper-case letters, digits, space and some punctuation.
std::string ACharacters(const std::string& text)
{
    static const char* const kAllowed = " !\"%&'()*+,-./:;<=>?_";
    std::string result;
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr(kAllowed, c) != nullptr;
        result.push_back(allowed && c != 0 ? c : '_');
    }
    return result;
}

size_t WriteRecord(uint8_t* at, const Record& record)
{
    size_t length = static_cast<size_t>(IsoRecordBytes(record.identifier.size()));
    std::memset(at, 0, length);
    at[0] = static_cast<uint8_t>(length);
    Both32(at + 2, static_cast<uint32_t>(record.sector));
    Both32(at + 10, static_cast<uint32_t>(record.bytes));
    RecordingTime(at + 18, record.time);
    at[25] = record.flags;
    Both16(at + 28, 1);
    at[32] = static_cast<uint8_t>(record.identifier.size());
    std::memcpy(at + 33, record.identifier.data(), record.identifier.size());
    return length;
}

// Records in the order given; one that would cross a sector starts the next.
void Directory(MetadataSectors* sectors, int64_t first, int64_t sectorCount, const std::vector<Record>& records)
{
    std::vector<uint8_t> data(static_cast<size_t>(sectorCount * kSectorSize), 0);
    size_t used = 0;
    for (const Record& record : records) {
        size_t length = static_cast<size_t>(IsoRecordBytes(record.identifier.size()));
        if (used % kSectorSize + length > kSectorSize)
            used += kSectorSize - used % kSectorSize;
        used += WriteRecord(data.data() + used, record);
    }
    sectors->Put(first, data);
}

Record DirectoryRecord(const std::string& identifier, int64_t sector, int64_t sectorCount, const DiscTime& time)
{
    return {identifier, sector, sectorCount * kSectorSize, kDirectoryFlag, time};
}

void Directories(const ImagePlan& plan, MetadataSectors* sectors)
{
    const DiscTime& time = plan.volume.created;
    Record root = DirectoryRecord(std::string(1, '\0'), plan.isoRoot, 1, time);
    Record rootParent = DirectoryRecord(std::string(1, '\1'), plan.isoRoot, 1, time);
    Record audio = DirectoryRecord("AUDIO_TS", plan.isoAudio, 1, time);
    Record video = DirectoryRecord("VIDEO_TS", plan.isoVideo, plan.isoVideoSectors, time);
    Directory(sectors, plan.isoRoot, 1, {root, rootParent, audio, video});

    audio.identifier = std::string(1, '\0');
    Directory(sectors, plan.isoAudio, 1, {audio, rootParent});

    // ISO 9660 wants the records sorted by identifier; the extents stay in
    // disc order.
    std::vector<Record> files;
    for (size_t i = 0; i < plan.layout.files.size(); ++i) {
        const PlacedFile& file = plan.layout.files[i];
        files.push_back({IsoFileIdentifier(file.name), plan.FileSector(i), file.size, 0,
                         DiscTime::FromUnix(file.modified)});
    }
    std::sort(files.begin(), files.end(),
              [](const Record& a, const Record& b) { return a.identifier < b.identifier; });
    video.identifier = std::string(1, '\0');
    files.insert(files.begin(), {video, rootParent});
    Directory(sectors, plan.isoVideo, plan.isoVideoSectors, files);
}

// Root, then its subdirectories in identifier order, all with parent 1.
std::vector<uint8_t> PathTable(const ImagePlan& plan, bool bigEndian)
{
    struct Entry {
        std::string identifier;
        int64_t sector;
    };
    const Entry entries[] = {{std::string(1, '\0'), plan.isoRoot},
                             {"AUDIO_TS", plan.isoAudio},
                             {"VIDEO_TS", plan.isoVideo}};
    std::vector<uint8_t> table;
    for (const Entry& entry : entries) {
        size_t start = table.size();
        size_t length = 8 + entry.identifier.size() + (entry.identifier.size() & 1);
        table.resize(start + length, 0);
        uint8_t* at = table.data() + start;
        at[0] = static_cast<uint8_t>(entry.identifier.size());
        if (bigEndian) {
            Be32(at + 2, static_cast<uint32_t>(entry.sector));
            Be16(at + 6, 1);
        } else {
            Le32(at + 2, static_cast<uint32_t>(entry.sector));
            Le16(at + 6, 1);
        }
        std::memcpy(at + 8, entry.identifier.data(), entry.identifier.size());
    }
    return table;
}

void Primary(const ImagePlan& plan, MetadataSectors* sectors, uint32_t pathTableBytes)
{
    uint8_t* at = sectors->At(ImagePlan::kIsoPrimary);
    at[0] = 1;
    std::memcpy(at + 1, "CD001", 5);
    at[6] = 1;
    Text(at + 8, 32, "");
    std::string label = VolumeLabel::IsoIdentifier(plan.volume.label);
    Text(at + 40, 32, label);
    Both32(at + 80, static_cast<uint32_t>(plan.sectors));
    Both16(at + 120, 1);
    Both16(at + 124, 1);
    Both16(at + 128, kSectorSize);
    Both32(at + 132, pathTableBytes);
    Le32(at + 140, static_cast<uint32_t>(plan.pathTableL));
    Be32(at + 148, static_cast<uint32_t>(plan.pathTableM));
    WriteRecord(at + 156, DirectoryRecord(std::string(1, '\0'), plan.isoRoot, 1, plan.volume.created));
    Text(at + 190, 128, label);
    Text(at + 318, 128, ACharacters(plan.volume.publisher));
    Text(at + 446, 128, "KANDRIX");
    Text(at + 574, 128, ACharacters(plan.volume.application));
    Text(at + 702, 37 * 3, "");
    VolumeTime(at + 813, &plan.volume.created);
    VolumeTime(at + 830, &plan.volume.created);
    VolumeTime(at + 847, nullptr);
    VolumeTime(at + 864, &plan.volume.created);
    at[881] = 1;

    uint8_t* end = sectors->At(ImagePlan::kIsoTerminator);
    end[0] = 255;
    std::memcpy(end + 1, "CD001", 5);
    end[6] = 1;
}

} // namespace

void WriteIsoVolume(const ImagePlan& plan, MetadataSectors* sectors)
{
    std::vector<uint8_t> little = PathTable(plan, false);
    sectors->Put(plan.pathTableL, little);
    sectors->Put(plan.pathTableM, PathTable(plan, true));
    Directories(plan, sectors);
    Primary(plan, sectors, static_cast<uint32_t>(little.size()));
}
