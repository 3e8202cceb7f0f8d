#pragma once
// Where every structure of a DVD-Video image lies. Sector numbers are counted
// from the image's start; UDF blocks from the partition's start.
//
//   0-15      system area (zero)
//   16-17     ISO 9660 primary volume descriptor, terminator
//   18-20     UDF volume recognition sequence (BEA01 NSR02 TEA01)
//   32-47     UDF main volume descriptor sequence
//   48-63     UDF reserve volume descriptor sequence
//   64-65     UDF logical volume integrity sequence
//   256       UDF anchor
//   257-      UDF partition: file set, directories, file entries; then the
//             ISO 9660 path tables and directories; then the VIDEO_TS files
//             exactly as their IFOs place them
//   last      UDF anchor (outside the partition)

#include "recorder/dvdvideo/DiscTime.h"
#include "recorder/dvdvideo/DvdVideoLayout.h"

#include <cstdint>
#include <string>
#include <vector>

struct VolumeInfo {
    std::string label; // as the user gave it, UTF-8
    std::string publisher;
    std::string application;
    DiscTime created;
};

struct ImagePlan {
    static constexpr int64_t kIsoPrimary = 16;
    static constexpr int64_t kIsoTerminator = 17;
    static constexpr int64_t kRecognition = 18;
    static constexpr int64_t kMainSequence = 32;
    static constexpr int64_t kReserveSequence = 48;
    static constexpr int64_t kSequenceSectors = 16;
    static constexpr int64_t kIntegrity = 64;
    static constexpr int64_t kFirstAnchor = 256;
    static constexpr int64_t kPartitionStart = 257;

    // UDF blocks, partition-relative.
    static constexpr uint32_t kFileSet = 0;
    static constexpr uint32_t kFileSetTerminator = 1;
    static constexpr uint32_t kRootEntry = 2;
    static constexpr uint32_t kRootData = 3;
    uint32_t videoEntry = 0;
    uint32_t videoData = 0;
    uint32_t audioEntry = 0;
    uint32_t audioData = 0;
    uint32_t firstFileEntry = 0;
    int64_t rootDataBytes = 0;
    int64_t videoDataBytes = 0;
    int64_t audioDataBytes = 0;

    // ISO 9660, absolute sectors.
    int64_t pathTableL = 0;
    int64_t pathTableM = 0;
    int64_t isoRoot = 0;
    int64_t isoVideo = 0;
    int64_t isoVideoSectors = 0;
    int64_t isoAudio = 0;

    int64_t zoneStart = 0; // sector of VIDEO_TS.IFO
    int64_t sectors = 0;   // whole image, final anchor included

    DvdVideoLayout layout;
    VolumeInfo volume;

    static ImagePlan Make(DvdVideoLayout layout, VolumeInfo volume);

    int64_t FileSector(size_t index) const { return zoneStart + layout.files[index].sector; }
    int64_t LastAnchor() const { return sectors - 1; }
    int64_t PartitionBlocks() const { return LastAnchor() - kPartitionStart; }
    uint32_t Block(int64_t sector) const { return static_cast<uint32_t>(sector - kPartitionStart); }
};

// Bytes of a UDF file identifier descriptor naming name ("" for the parent).
int64_t UdfIdentifierBytes(const std::string& name);
// ISO 9660 directory record bytes for an identifier of that many bytes.
int64_t IsoRecordBytes(size_t identifierLength);
// Sectors of an ISO 9660 directory with "." and ".." and records of these
// identifier lengths: records never cross a sector.
int64_t IsoDirectorySectors(const std::vector<size_t>& identifierLengths);
// The ISO 9660 identifier of a VIDEO_TS file.
std::string IsoFileIdentifier(const std::string& name);
