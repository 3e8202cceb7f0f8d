// The writes of LibburnRecorder: the unit is marked busy under the lock, and
// the write itself runs without it, so the rest of the library answers
// meanwhile.

#include "recorder/LibburnRecorder.h"

#include "recorder/ImageStream.h"
#include "recorder/RecorderUnit.h"

#include <exception>

namespace {

// The album name when the caller gives none.
constexpr const char* kAlbumName = "Album VideoCDEx";

} // namespace

RecorderException LibburnRecorder::RunWrite(GrabberHandle handle, const CallReport& report,
                                            int underrunProtection, int testWrite, int cacheSeconds,
                                            const Write& write, const char* busyWith)
{
    const auto id = reinterpret_cast<uintptr_t>(handle);
    std::shared_ptr<RecorderUnit> unit;
    WriteSettings settings;
    WriteEvents events;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        UnitResult refusal;
        Grabber* grabber = nullptr;
        if (IdleUnitOf(handle, refusal, &grabber) == nullptr)
            return Report(report, refusal, false);
        Unit& entry = units_[grabber->unit];
        const uint64_t generation = entry.unit->BeginWrite();
        if (!BeginStoppableWrite(id, {entry.unit, generation}))
            return Report(report, UnitResult::Failure(RECORDER_COMMAND_FAILED, "the write was cancelled"), false);
        entry.busyWith = busyWith;
        entry.writing = true;
        unit = entry.unit;
        entry.writeGeneration = generation;
        settings.speed = grabber->writeSpeedInForce;
        settings.underrunProof = underrunProtection != 0 && grabber->underrunProtection;
        settings.performOpc = grabber->performOpc;
        settings.simulate = testWrite != 0;
        settings.cacheSeconds = cacheSeconds > 0 ? cacheSeconds : 0;
        settings.imageFolder = grabber->imageFolder;
        events.callback = grabber->eventCallback;
        events.context = grabber->context;
        events.silenced = grabber->silenced;
    }
    UnitResult result;
    try {
        result = write(*unit, settings, events);
    } catch (const std::exception& error) {
        // Out of memory or threads: the burn fails with the system's words.
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, std::string("the write cannot go on: ") + error.what());
    }
    EndStoppableWrite(id);
    EndBusy(unit);
    return Report(report, result);
}

RecorderException LibburnRecorder::TrackAtOnceFromTree(GrabberHandle handle, const CallReport& report,
                                                       FileTreeHandle tree, int underrunProtection,
                                                       int testWrite, int, int, int cacheSeconds)
{
    if (tree == nullptr)
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no disc image to write"), false);
    auto* stream = static_cast<ImageStream*>(tree);
    return RunWrite(handle, report, underrunProtection, testWrite, cacheSeconds,
                    [stream](RecorderUnit& unit, const WriteSettings& settings, const WriteEvents& events) {
                        return unit.WriteImage(*stream, settings, events);
                    });
}

RecorderException LibburnRecorder::VideoCDEx(GrabberHandle handle, const CallReport& report,
                                             int underrunProtection, const char* sourcePath,
                                             const char* albumName, int, int, int testWrite, int,
                                             int cacheSeconds)
{
    return WriteVideoCd(VideoCdKind::VideoCd, handle, report, underrunProtection, sourcePath, albumName, testWrite,
                        cacheSeconds);
}

RecorderException LibburnRecorder::SuperVideoCDEx(GrabberHandle handle, const CallReport& report,
                                                  int underrunProtection, const char* sourcePath,
                                                  const char* albumName, int, int, int testWrite, int,
                                                  int cacheSeconds)
{
    return WriteVideoCd(VideoCdKind::SuperVideoCd, handle, report, underrunProtection, sourcePath, albumName,
                        testWrite, cacheSeconds);
}

RecorderException LibburnRecorder::WriteVideoCd(VideoCdKind kind, GrabberHandle handle, const CallReport& report,
                                                int underrunProtection, const char* sourcePath,
                                                const char* albumName, int testWrite, int cacheSeconds)
{
    if (sourcePath == nullptr || *sourcePath == '\0')
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no MPEG file to write"), false);
    const std::string source = sourcePath;
    const std::string album = albumName != nullptr ? albumName : kAlbumName;
    return RunWrite(handle, report, underrunProtection, testWrite, cacheSeconds,
                    [&](RecorderUnit& unit, const WriteSettings& settings, const WriteEvents& events) {
                        return unit.WriteVideoCd(kind, source, album, settings, events);
                    });
}

RecorderException LibburnRecorder::SetImageFolder(GrabberHandle handle, const char* folder)
{
    std::lock_guard<std::timed_mutex> lock(mutex_);
    Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
    if (grabber == nullptr)
        return RECORDER_INVALID_HANDLE;
    grabber->imageFolder = folder != nullptr ? folder : "";
    return RECORDER_SUCCESS;
}

RecorderException LibburnRecorder::TakeWrittenImage(GrabberHandle handle, WrittenImage* image)
{
    if (image == nullptr)
        return RECORDER_INVALID_ARGUMENT;
    *image = WrittenImage();
    std::shared_ptr<RecorderUnit> unit;
    {
        std::lock_guard<std::timed_mutex> lock(mutex_);
        Grabber* grabber = started_ ? FindGrabber(handle) : nullptr;
        if (grabber == nullptr)
            return RECORDER_INVALID_HANDLE;
        unit = units_[grabber->unit].unit;
    }
    *image = unit->TakeWrittenImage();
    return RECORDER_SUCCESS;
}

bool LibburnRecorder::BeginStoppableWrite(uintptr_t handle, const WriteToStop& write)
{
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    StopEntry& entry = stops_[handle];
    if (entry.pending) {
        entry.pending = false;
        return false;
    }
    entry.write = write;
    return true;
}

void LibburnRecorder::EndStoppableWrite(uintptr_t handle)
{
    std::lock_guard<std::mutex> stopLock(stopMutex_);
    const auto it = stops_.find(handle);
    if (it != stops_.end())
        it->second = StopEntry{};
}

RecorderException LibburnRecorder::VerifyLastWrite(GrabberHandle handle, const CallReport& report, char* md5)
{
    if (md5 == nullptr)
        return Report(report, UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no place for the MD5"), false);
    *md5 = '\0';
    return RunWrite(
        handle, report, 0, 0, 0,
        [md5](RecorderUnit& unit, const WriteSettings&, const WriteEvents& events) {
            std::string hex;
            const UnitResult result = unit.VerifyLastWrite(events, hex);
            CopyText(md5, RECORDER_MD5_TEXT_SIZE, hex);
            return result;
        },
        "reading back a disc");
}

RecorderException LibburnRecorder::CancelWrite(GrabberHandle handle)
{
    WriteToStop writing;
    {
        std::lock_guard<std::mutex> stopLock(stopMutex_);
        const auto it = stops_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == stops_.end())
            return RECORDER_INVALID_HANDLE;
        // A cancel that comes between the caller's decision to write and the
        // write's start must not be lost: the write then does not begin.
        if (it->second.write.unit)
            writing = it->second.write;
        else
            it->second.pending = true;
    }
    writing.Stop();
    return RECORDER_SUCCESS;
}
