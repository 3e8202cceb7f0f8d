#include "recorder/dvdvideo/ImagePlan.h"

#include "recorder/dvdvideo/DiscBytes.h"

using DiscBytes::kSectorSize;
using DiscBytes::SectorsFor;

int64_t UdfIdentifierBytes(const std::string& name)
{
    int64_t bytes = 38 + (name.empty() ? 0 : static_cast<int64_t>(name.size()) + 1);
    return (bytes + 3) & ~int64_t(3);
}

int64_t IsoRecordBytes(size_t identifierLength)
{
    int64_t bytes = 33 + static_cast<int64_t>(identifierLength);
    return bytes + (bytes & 1);
}

int64_t IsoDirectorySectors(const std::vector<size_t>& identifierLengths)
{
    int64_t sectors = 1;
    int64_t used = 2 * IsoRecordBytes(1);
    for (size_t length : identifierLengths) {
        int64_t bytes = IsoRecordBytes(length);
        if (used + bytes > kSectorSize) {
            ++sectors;
            used = 0;
        }
        used += bytes;
    }
    return sectors;
}

std::string IsoFileIdentifier(const std::string& name)
{
    return name + ";1";
}

ImagePlan ImagePlan::Make(DvdVideoLayout layout, VolumeInfo volume)
{
    ImagePlan plan;
    plan.layout = std::move(layout);
    plan.volume = std::move(volume);

    plan.rootDataBytes = UdfIdentifierBytes("") + UdfIdentifierBytes("AUDIO_TS") + UdfIdentifierBytes("VIDEO_TS");
    plan.videoDataBytes = UdfIdentifierBytes("");
    std::vector<size_t> isoLengths;
    for (const PlacedFile& file : plan.layout.files) {
        plan.videoDataBytes += UdfIdentifierBytes(file.name);
        isoLengths.push_back(IsoFileIdentifier(file.name).size());
    }
    plan.audioDataBytes = UdfIdentifierBytes("");

    uint32_t block = kRootData + static_cast<uint32_t>(SectorsFor(plan.rootDataBytes));
    plan.videoEntry = block++;
    plan.videoData = block;
    block += static_cast<uint32_t>(SectorsFor(plan.videoDataBytes));
    plan.audioEntry = block++;
    plan.audioData = block;
    block += static_cast<uint32_t>(SectorsFor(plan.audioDataBytes));
    plan.firstFileEntry = block;
    block += static_cast<uint32_t>(plan.layout.files.size());

    int64_t sector = kPartitionStart + block;
    plan.pathTableL = sector++;
    plan.pathTableM = sector++;
    plan.isoRoot = sector++;
    plan.isoVideo = sector;
    plan.isoVideoSectors = IsoDirectorySectors(isoLengths);
    sector += plan.isoVideoSectors;
    plan.isoAudio = sector++;

    plan.zoneStart = sector;
    plan.sectors = plan.zoneStart + plan.layout.sectors + 1;
    return plan;
}
