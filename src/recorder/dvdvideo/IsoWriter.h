#pragma once
// The ISO 9660 side of a DVD-Video image: the volume descriptors, the path
// tables and the three directories, pointing at the same file extents as the
// UDF side.

#include "recorder/dvdvideo/ImagePlan.h"
#include "recorder/dvdvideo/MetadataSectors.h"

void WriteIsoVolume(const ImagePlan& plan, MetadataSectors* sectors);
