#include "recorder/RecorderLibrary.h"

#include "recorder/LibburnRecorder.h"

#include <atomic>

namespace {

std::atomic<RecorderLibrary*> g_library{nullptr};

} // namespace

RecorderLibrary& Recorder()
{
    RecorderLibrary* library = g_library.load();
    return library != nullptr ? *library : DefaultLibburnRecorder();
}

void SetRecorderLibrary(RecorderLibrary* library)
{
    g_library.store(library);
}
