#include "recorder/dvdvideo/DvdVideoFileSystem.h"

#include "recorder/dvdvideo/IsoWriter.h"
#include "recorder/dvdvideo/UdfWriter.h"

std::unique_ptr<DvdVideoFileSystem> DvdVideoFileSystem::Create(const std::string& folder, const VolumeInfo& volume,
                                                               std::string* error)
{
    DvdVideoLayout layout;
    if (!PlanDvdVideoLayout(folder, &layout, error))
        return nullptr;
    return std::unique_ptr<DvdVideoFileSystem>(
        new DvdVideoFileSystem(ImagePlan::Make(std::move(layout), volume), folder));
}

DvdVideoFileSystem::DvdVideoFileSystem(ImagePlan plan, const std::string& folder)
    : plan_(std::move(plan)), stream_(plan_, metadata_, folder)
{
    WriteIsoVolume(plan_, &metadata_);
    WriteUdfVolume(plan_, &metadata_);
    WriteUdfTree(plan_, &metadata_);
}

DvdVideoStream* DvdVideoFileSystem::Stream()
{
    stream_.Rewind();
    return &stream_;
}
