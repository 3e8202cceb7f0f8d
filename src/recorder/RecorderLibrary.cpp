#include "recorder/RecorderLibrary.h"

#include <cstdio>

namespace {

RecorderException NotSupportedYet(char* text, size_t textSize, uint32_t* status, const char* call)
{
    if (text != nullptr && textSize > 0)
        std::snprintf(text, textSize, "%s is not supported yet by this recording library", call);
    if (status != nullptr)
        *status = RECORDER_STATUS_FAILED;
    return RECORDER_NOT_SUPPORTED_YET;
}

RecorderException NotSupportedYet(const CallReport& report, const char* call)
{
    return NotSupportedYet(report.text, report.textSize, report.status, call);
}

} // namespace

void RecorderLibrary::Shutdown() {}

RecorderException RecorderLibrary::GetMediaCapacity(GrabberHandle, const CallReport& report, int64_t* bytes)
{
    if (bytes != nullptr)
        *bytes = 0;
    return NotSupportedYet(report, "Reading the disc's capacity");
}

RecorderException RecorderLibrary::TrackAtOnceFromTree(GrabberHandle, const CallReport& report,
                                                       FileTreeHandle, int, int, int, int, int)
{
    return NotSupportedYet(report, "Writing a DVD-Video disc");
}

RecorderException RecorderLibrary::VideoCDEx(GrabberHandle, const CallReport& report, int, const char*,
                                             const char*, int, int, int, int, int)
{
    return NotSupportedYet(report, "Writing a VideoCD");
}

RecorderException RecorderLibrary::SuperVideoCDEx(GrabberHandle, const CallReport& report, int,
                                                  const char*, const char*, int, int, int, int, int)
{
    return NotSupportedYet(report, "Writing a SuperVideoCD");
}

RecorderException RecorderLibrary::VerifyLastWrite(GrabberHandle, const CallReport& report, char*)
{
    return NotSupportedYet(report, "Reading back a written disc");
}

RecorderException RecorderLibrary::CancelWrite(GrabberHandle)
{
    return RECORDER_SUCCESS;
}

RecorderException RecorderLibrary::SetImageFolder(GrabberHandle, const char*)
{
    return RECORDER_SUCCESS;
}

RecorderException RecorderLibrary::TakeWrittenImage(GrabberHandle, WrittenImage* image)
{
    if (image != nullptr)
        *image = WrittenImage();
    return RECORDER_SUCCESS;
}
