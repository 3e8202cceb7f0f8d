#pragma once
// A DVD-Video disc image (ISO 9660 and UDF 1.02 over the same extents) planned
// from a VIDEO_TS folder. Planning reads only the IFOs and the file sizes; the
// image's bytes come from its stream, on demand.

#include "recorder/dvdvideo/DiscBytes.h"
#include "recorder/dvdvideo/DvdVideoStream.h"
#include "recorder/dvdvideo/ImagePlan.h"
#include "recorder/dvdvideo/MetadataSectors.h"

#include <memory>
#include <string>

class DvdVideoFileSystem {
public:
    // folder is the VIDEO_TS folder itself. nullptr, with the cause in
    // *error, when it holds no DVD-Video tree that can be laid out truly.
    static std::unique_ptr<DvdVideoFileSystem> Create(const std::string& folder, const VolumeInfo& volume,
                                                      std::string* error);

    int64_t ImageSize() const { return plan_.sectors * DiscBytes::kSectorSize; }
    const ImagePlan& Plan() const { return plan_; }
    // The image's stream, rewound to byte 0.
    DvdVideoStream* Stream();

private:
    DvdVideoFileSystem(ImagePlan plan, const std::string& folder);

    ImagePlan plan_;
    MetadataSectors metadata_;
    DvdVideoStream stream_;
};
