#include "recorder/dvdvideo/UdfWriter.h"

#include "recorder/dvdvideo/DiscBytes.h"
#include "recorder/dvdvideo/UdfFields.h"
#include "recorder/dvdvideo/VolumeLabel.h"

#include <cstdio>
#include <cstring>

using namespace DiscBytes;
using namespace UdfFields;

namespace {

constexpr size_t kDescriptorBytes = 512;

std::u32string Label(const ImagePlan& plan)
{
    return VolumeLabel::UdfIdentifier(plan.volume.label, VolumeLabel::kUdfLength);
}

// The first 16 characters of a volume set identifier are to be unique: hex
// digits drawn from what tells this volume from others.
std::u32string VolumeSetIdentifier(const ImagePlan& plan)
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash ^= (value >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    for (char c : plan.volume.label)
        mix(static_cast<unsigned char>(c));
    mix(static_cast<uint64_t>(plan.sectors));
    for (const PlacedFile& file : plan.layout.files)
        mix(static_cast<uint64_t>(file.size) ^ static_cast<uint64_t>(file.modified));
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(hash));
    std::u32string text(digits, digits + 16);
    return text + Label(plan);
}

void Recognition(MetadataSectors* sectors)
{
    const char* marks[] = {"BEA01", "NSR02", "TEA01"};
    for (int i = 0; i < 3; ++i) {
        uint8_t* at = sectors->At(ImagePlan::kRecognition + i);
        std::memcpy(at + 1, marks[i], 5);
        at[6] = 1;
    }
}

void PrimaryVolume(const ImagePlan& plan, uint8_t* at, uint32_t location, uint32_t number)
{
    Le32(at + 16, number);
    DString(at + 24, 32, Label(plan));
    Le16(at + 56, 1);
    Le16(at + 58, 1);
    Le16(at + 60, 2);
    Le16(at + 62, 2);
    Le32(at + 64, 1);
    Le32(at + 68, 1);
    DString(at + 72, 128, VolumeSetIdentifier(plan));
    CharSpec(at + 200);
    CharSpec(at + 264);
    EntityId(at + 344, plan.volume.application, Suffix::None);
    Timestamp(at + 376, plan.volume.created);
    EntityId(at + 388, kImplementation, Suffix::Implementation);
    Tag(at, kPrimaryVolume, location, kDescriptorBytes);
}

void ImplementationUse(const ImagePlan& plan, uint8_t* at, uint32_t location, uint32_t number)
{
    Le32(at + 16, number);
    EntityId(at + 20, "*UDF LV Info", Suffix::Udf);
    uint8_t* use = at + 52;
    CharSpec(use);
    DString(use + 64, 128, Label(plan));
    DString(use + 192, 36, VolumeLabel::Decode(plan.volume.publisher));
    EntityId(use + 300, kImplementation, Suffix::Implementation);
    Tag(at, kImplementationUse, location, kDescriptorBytes);
}

void Partition(const ImagePlan& plan, uint8_t* at, uint32_t location, uint32_t number)
{
    Le32(at + 16, number);
    Le16(at + 20, 1); // allocated
    Le16(at + 22, 0);
    EntityId(at + 24, "+NSR02", Suffix::None);
    Le32(at + 184, 1); // read-only
    Le32(at + 188, static_cast<uint32_t>(ImagePlan::kPartitionStart));
    Le32(at + 192, static_cast<uint32_t>(plan.PartitionBlocks()));
    EntityId(at + 196, kImplementation, Suffix::Implementation);
    Tag(at, kPartition, location, kDescriptorBytes);
}

void LogicalVolume(const ImagePlan& plan, uint8_t* at, uint32_t location, uint32_t number)
{
    constexpr size_t kBytes = 440 + 6;
    Le32(at + 16, number);
    CharSpec(at + 20);
    DString(at + 84, 128, Label(plan));
    Le32(at + 212, kSectorSize);
    EntityId(at + 216, "*OSTA UDF Compliant", Suffix::Domain);
    LongAd(at + 248, kSectorSize, ImagePlan::kFileSet);
    Le32(at + 264, 6);
    Le32(at + 268, 1);
    EntityId(at + 272, kImplementation, Suffix::Implementation);
    ExtentAd(at + 432, 2 * kSectorSize, static_cast<uint32_t>(ImagePlan::kIntegrity));
    // Partition map type 1: volume 1, partition 0.
    at[440] = 1;
    at[441] = 6;
    Le16(at + 442, 1);
    Le16(at + 444, 0);
    Tag(at, kLogicalVolume, location, kBytes);
}

void UnallocatedSpace(uint8_t* at, uint32_t location, uint32_t number)
{
    Le32(at + 16, number);
    Tag(at, kUnallocatedSpace, location, 24);
}

void Sequence(const ImagePlan& plan, MetadataSectors* sectors, int64_t first)
{
    auto location = [first](int index) { return static_cast<uint32_t>(first + index); };
    PrimaryVolume(plan, sectors->At(first), location(0), 1);
    ImplementationUse(plan, sectors->At(first + 1), location(1), 2);
    Partition(plan, sectors->At(first + 2), location(2), 3);
    LogicalVolume(plan, sectors->At(first + 3), location(3), 4);
    UnallocatedSpace(sectors->At(first + 4), location(4), 5);
    Tag(sectors->At(first + 5), kTerminating, location(5), kDescriptorBytes);
}

void Integrity(const ImagePlan& plan, MetadataSectors* sectors)
{
    constexpr size_t kBytes = 88 + 46;
    uint8_t* at = sectors->At(ImagePlan::kIntegrity);
    Timestamp(at + 16, plan.volume.created);
    Le32(at + 28, 1); // closed
    Le64(at + 40, kUdfFirstUniqueId + 2 + plan.layout.files.size());
    Le32(at + 72, 1);
    Le32(at + 76, 46);
    Le32(at + 80, 0);
    Le32(at + 84, static_cast<uint32_t>(plan.PartitionBlocks()));
    EntityId(at + 88, kImplementation, Suffix::Implementation);
    Le32(at + 120, static_cast<uint32_t>(plan.layout.files.size()));
    Le32(at + 124, 3);
    Le16(at + 128, 0x0102);
    Le16(at + 130, 0x0102);
    Le16(at + 132, 0x0102);
    Tag(at, kIntegrity, static_cast<uint32_t>(ImagePlan::kIntegrity), kBytes);
    Tag(sectors->At(ImagePlan::kIntegrity + 1), kTerminating, static_cast<uint32_t>(ImagePlan::kIntegrity + 1),
        kDescriptorBytes);
}

void Anchor(MetadataSectors* sectors, int64_t sector)
{
    uint8_t* at = sectors->At(sector);
    ExtentAd(at + 16, ImagePlan::kSequenceSectors * kSectorSize, ImagePlan::kMainSequence);
    ExtentAd(at + 24, ImagePlan::kSequenceSectors * kSectorSize, ImagePlan::kReserveSequence);
    Tag(at, kAnchor, static_cast<uint32_t>(sector), kDescriptorBytes);
}

} // namespace

void WriteUdfVolume(const ImagePlan& plan, MetadataSectors* sectors)
{
    Recognition(sectors);
    Sequence(plan, sectors, ImagePlan::kMainSequence);
    Sequence(plan, sectors, ImagePlan::kReserveSequence);
    Integrity(plan, sectors);
    Anchor(sectors, ImagePlan::kFirstAnchor);
    Anchor(sectors, plan.LastAnchor());
}
