#include "recorder/dvdvideo/UdfWriter.h"

#include "recorder/dvdvideo/DiscBytes.h"
#include "recorder/dvdvideo/UdfFields.h"
#include "recorder/dvdvideo/VolumeLabel.h"

using namespace DiscBytes;
using namespace UdfFields;

namespace {

constexpr uint8_t kTypeDirectory = 4;
constexpr uint8_t kTypeFile = 5;
// Read for all; directories may also be searched.
constexpr uint32_t kFilePermissions = 0x1084;
constexpr uint32_t kDirectoryPermissions = 0x14A5;
constexpr uint8_t kIsDirectory = 0x02;
constexpr uint8_t kIsParent = 0x08;

struct Entry {
    uint8_t type;
    uint64_t size;
    uint32_t dataBlock;
    uint64_t uniqueId;
    uint16_t links;
    DiscTime time;
};

void FileEntry(const ImagePlan& plan, MetadataSectors* sectors, uint32_t block, const Entry& entry)
{
    uint8_t* at = sectors->At(ImagePlan::kPartitionStart + block);
    // ICB tag: strategy 4, one entry, short allocation descriptors.
    Le16(at + 20, 4);
    Le16(at + 24, 1);
    at[27] = entry.type;
    Le16(at + 34, 0);
    Le32(at + 36, 0xFFFFFFFF);
    Le32(at + 40, 0xFFFFFFFF);
    Le32(at + 44, entry.type == kTypeDirectory ? kDirectoryPermissions : kFilePermissions);
    Le16(at + 48, entry.links);
    Le64(at + 56, entry.size);
    Le64(at + 64, static_cast<uint64_t>(SectorsFor(static_cast<int64_t>(entry.size))));
    Timestamp(at + 72, entry.time);
    Timestamp(at + 84, entry.time);
    Timestamp(at + 96, entry.time);
    Le32(at + 108, 1);
    EntityId(at + 128, kImplementation, Suffix::Implementation);
    Le64(at + 160, entry.uniqueId);
    Le32(at + 168, 0);
    // An empty file has no extent at all.
    uint32_t adBytes = entry.size > 0 ? 8 : 0;
    Le32(at + 172, adBytes);
    if (adBytes)
        ShortAd(at + 176, static_cast<uint32_t>(entry.size), entry.dataBlock);
    Tag(at, kFileEntry, block, 176 + adBytes);
}

// Appends a file identifier descriptor to a directory's data, which starts
// at block firstBlock; the tag names the block the descriptor starts in.
void Identifier(std::vector<uint8_t>* data, uint32_t firstBlock, const std::string& name, uint8_t characteristics,
                uint32_t entryBlock)
{
    size_t start = data->size();
    size_t length = static_cast<size_t>(UdfIdentifierBytes(name));
    data->resize(start + length, 0);
    uint8_t* at = data->data() + start;
    Le16(at + 16, 1);
    at[18] = characteristics;
    at[19] = static_cast<uint8_t>(name.empty() ? 0 : FileIdentifierSize(name));
    LongAd(at + 20, kSectorSize, entryBlock);
    Le16(at + 36, 0);
    if (!name.empty())
        FileIdentifier(at + 38, name);
    Tag(at, kFileIdentifier, firstBlock + static_cast<uint32_t>(start / kSectorSize), length);
}

void FileSet(const ImagePlan& plan, MetadataSectors* sectors)
{
    uint8_t* at = sectors->At(ImagePlan::kPartitionStart + ImagePlan::kFileSet);
    std::u32string label = VolumeLabel::UdfIdentifier(plan.volume.label, VolumeLabel::kUdfLength);
    Timestamp(at + 16, plan.volume.created);
    Le16(at + 28, 3);
    Le16(at + 30, 3);
    Le32(at + 32, 1);
    Le32(at + 36, 1);
    CharSpec(at + 48);
    DString(at + 112, 128, label);
    CharSpec(at + 240);
    DString(at + 304, 32, label);
    LongAd(at + 400, kSectorSize, ImagePlan::kRootEntry);
    EntityId(at + 416, "*OSTA UDF Compliant", Suffix::Domain);
    Tag(at, kFileSet, ImagePlan::kFileSet, 512);
    Tag(sectors->At(ImagePlan::kPartitionStart + ImagePlan::kFileSetTerminator), kTerminating,
        ImagePlan::kFileSetTerminator, 512);
}

void Directories(const ImagePlan& plan, MetadataSectors* sectors)
{
    std::vector<uint8_t> root;
    Identifier(&root, ImagePlan::kRootData, "", kIsDirectory | kIsParent, ImagePlan::kRootEntry);
    Identifier(&root, ImagePlan::kRootData, "AUDIO_TS", kIsDirectory, plan.audioEntry);
    Identifier(&root, ImagePlan::kRootData, "VIDEO_TS", kIsDirectory, plan.videoEntry);
    sectors->Put(ImagePlan::kPartitionStart + ImagePlan::kRootData, root);

    std::vector<uint8_t> audio;
    Identifier(&audio, plan.audioData, "", kIsDirectory | kIsParent, ImagePlan::kRootEntry);
    sectors->Put(ImagePlan::kPartitionStart + plan.audioData, audio);

    std::vector<uint8_t> video;
    Identifier(&video, plan.videoData, "", kIsDirectory | kIsParent, ImagePlan::kRootEntry);
    for (size_t i = 0; i < plan.layout.files.size(); ++i)
        Identifier(&video, plan.videoData, plan.layout.files[i].name, 0,
                   plan.firstFileEntry + static_cast<uint32_t>(i));
    sectors->Put(ImagePlan::kPartitionStart + plan.videoData, video);

    const DiscTime& time = plan.volume.created;
    // A directory is named once in its parent and once by each subdirectory's
    // parent entry; the root's own parent entry names the root.
    FileEntry(plan, sectors, ImagePlan::kRootEntry,
              {kTypeDirectory, root.size(), ImagePlan::kRootData, 0, 3, time});
    FileEntry(plan, sectors, plan.videoEntry,
              {kTypeDirectory, video.size(), plan.videoData, kUdfFirstUniqueId, 1, time});
    FileEntry(plan, sectors, plan.audioEntry,
              {kTypeDirectory, audio.size(), plan.audioData, kUdfFirstUniqueId + 1, 1, time});
}

void Files(const ImagePlan& plan, MetadataSectors* sectors)
{
    for (size_t i = 0; i < plan.layout.files.size(); ++i) {
        const PlacedFile& file = plan.layout.files[i];
        FileEntry(plan, sectors, plan.firstFileEntry + static_cast<uint32_t>(i),
                  {kTypeFile, static_cast<uint64_t>(file.size), plan.Block(plan.FileSector(i)),
                   kUdfFirstUniqueId + 2 + i, 1, DiscTime::FromUnix(file.modified)});
    }
}

} // namespace

void WriteUdfTree(const ImagePlan& plan, MetadataSectors* sectors)
{
    FileSet(plan, sectors);
    Directories(plan, sectors);
    Files(plan, sectors);
}
