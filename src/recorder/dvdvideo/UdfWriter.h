#pragma once
// The UDF 1.02 side of a DVD-Video image: the volume structures (recognition
// sequence, anchors, volume descriptor sequences, integrity) and the file
// tree in the partition (file set, directories, file entries), over the same
// file extents as the ISO 9660 side.

#include "recorder/dvdvideo/ImagePlan.h"
#include "recorder/dvdvideo/MetadataSectors.h"

void WriteUdfVolume(const ImagePlan& plan, MetadataSectors* sectors);
void WriteUdfTree(const ImagePlan& plan, MetadataSectors* sectors);

// Unique IDs of the tree: the root has 0, 1 to 15 are reserved.
constexpr uint64_t kUdfFirstUniqueId = 16;
