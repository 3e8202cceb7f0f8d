// The recording library's DVD-Video file system calls, shared by every
// library implementation: they need no recorder.

#include "recorder/RecorderLibrary.h"
#include "recorder/dvdvideo/DvdVideoFileSystem.h"

#include <cstdio>
#include <string>

namespace {

RecorderException Report(char* text, size_t textSize, uint32_t* status, RecorderException exception,
                         const std::string& message)
{
    if (text != nullptr && textSize > 0)
        std::snprintf(text, textSize, "%s", message.c_str());
    if (status != nullptr)
        *status = exception == RECORDER_SUCCESS ? RECORDER_STATUS_OK : RECORDER_STATUS_FAILED;
    return exception;
}

DvdVideoFileSystem* FileSystemOf(DvdVideoHandle handle)
{
    return static_cast<DvdVideoFileSystem*>(handle);
}

} // namespace

// The date is the volume's creation and recording date; publisher and
// application go into the volume descriptors.
RecorderException RecorderLibrary::DVDVideoCreate(DvdVideoHandle* handle, const char* folder, int,
                                                  char* text, size_t textSize, uint32_t* status,
                                                  const char* volumeLabel, const char* publisher,
                                                  const char* application, int year, int month, int day,
                                                  int hour, int minute, int second, int hundredths)
{
    if (handle != nullptr)
        *handle = nullptr;
    if (handle == nullptr || folder == nullptr || *folder == '\0')
        return Report(text, textSize, status, RECORDER_INVALID_ARGUMENT,
                      "Creating a DVD-Video file system needs a handle and a VIDEO_TS folder");
    VolumeInfo volume;
    volume.label = volumeLabel != nullptr ? volumeLabel : "";
    volume.publisher = publisher != nullptr ? publisher : "";
    volume.application = application != nullptr ? application : "";
    volume.created = DiscTime::Checked(year, month, day, hour, minute, second, hundredths);
    std::string error;
    std::unique_ptr<DvdVideoFileSystem> fileSystem = DvdVideoFileSystem::Create(folder, volume, &error);
    if (!fileSystem)
        return Report(text, textSize, status, RECORDER_INVALID_ARGUMENT, error);
    *handle = fileSystem.release();
    return Report(text, textSize, status, RECORDER_SUCCESS, "");
}

RecorderException RecorderLibrary::DVDVideoGetImageSize(DvdVideoHandle handle, int64_t* size)
{
    if (size != nullptr)
        *size = 0;
    if (handle == nullptr || size == nullptr)
        return RECORDER_INVALID_HANDLE;
    *size = FileSystemOf(handle)->ImageSize();
    return RECORDER_SUCCESS;
}

RecorderException RecorderLibrary::DVDVideoGetFileTree(DvdVideoHandle handle, FileTreeHandle* tree)
{
    if (tree != nullptr)
        *tree = nullptr;
    if (handle == nullptr || tree == nullptr)
        return RECORDER_INVALID_HANDLE;
    *tree = static_cast<ImageStream*>(FileSystemOf(handle)->Stream());
    return RECORDER_SUCCESS;
}

RecorderException RecorderLibrary::DVDVideoRelease(DvdVideoHandle* handle)
{
    if (handle == nullptr)
        return RECORDER_INVALID_HANDLE;
    delete FileSystemOf(*handle);
    *handle = nullptr;
    return RECORDER_SUCCESS;
}
