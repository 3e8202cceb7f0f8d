#include "recorder/ImageFileUnit.h"

#include "recorder/DiscTypes.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/ImagePlacement.h"
#include "recorder/ImageStream.h"
#include "recorder/RecorderRecords.h"
#include "recorder/TrackWriter.h"
#include "recorder/VideoCdMaker.h"

#include <libburn/libburn.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace burn;

namespace {

// The process's file-creation mask, read without changing it: umask() can
// only be read by setting it, which would race with files other threads
// create meanwhile. Its line reads "Umask:\t0022".
mode_t FileCreationMask()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    unsigned mask = 022;
    if (status) {
        char line[128];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        }
        std::fclose(status);
    }
    return static_cast<mode_t>(mask);
}

UnitIdentity ImageIdentity()
{
    UnitIdentity identity;
    identity.address = ImageFileRecorder::Address();
    identity.name = ImageFileRecorder::kDriveName;
    identity.vendor = ImageFileRecorder::kVendor;
    identity.product = ImageFileRecorder::kProduct;
    identity.revision = ImageFileRecorder::kRevision;
    return identity;
}

bool RoomFor(const std::string& folder, int64_t bytes)
{
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0)
        return true;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize) >= bytes;
}

// What the user reads when the image could not be written: the system's
// words, where libburn passed them on or the folder has no room left.
std::string WriteFailure(const std::string& text, const std::string& target, const std::string& folder,
                         int64_t bytes)
{
    const LibburnMessage message = LatestLibburnMessage();
    int cause = message.osErrno;
    // libburn's word may not have come yet, or come without the system's.
    if (cause == 0 && !RoomFor(folder, bytes))
        cause = ENOSPC;
    if (cause != 0)
        return "cannot write " + target + ": " + std::strerror(cause);
    return message.present ? text + " (libburn: " + message.text + ")" : text;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

ImageFileUnit::ImageFileUnit() : RecorderUnit(ImageIdentity()) {}

UnitResult ImageFileUnit::Acquire()
{
    return UnitResult::Success();
}

void ImageFileUnit::LetGo() {}

bool ImageFileUnit::Acquired() const
{
    return true;
}

UnitResult ImageFileUnit::Ready()
{
    return UnitResult::Success();
}

int ImageFileUnit::DiscType()
{
    return DISC_TYPE_OVERWRITABLE;
}

UnitResult ImageFileUnit::Capacity(int64_t& bytes)
{
    bytes = ImageFileRecorder::kCapacity;
    return UnitResult::Success();
}

UnitResult ImageFileUnit::Speeds(UnitSpeeds& speeds)
{
    speeds.highestWrite = ImageFileRecorder::HighestWriteSpeed();
    speeds.read = speeds.highestWrite;
    return UnitResult::Success();
}

UnitResult ImageFileUnit::SetWriteSpeed(uint32_t requested, uint32_t& inForce)
{
    inForce = ImageFileRecorder::SpeedInForce(requested);
    return UnitResult::Success();
}

UnitResult ImageFileUnit::TrackInformation(uint32_t track, unsigned char* record)
{
    if (track != 1 && track != TRACK_RECORDED_AREA)
        return UnitResult::Failure(RECORDER_NO_SUCH_TRACK, "the image file has only one blank track");
    record[TRACK_INFO_BLANK_OFFSET] = 1;
    return UnitResult::Success();
}

UnitResult ImageFileUnit::TableOfContents(unsigned char*)
{
    return UnitResult::Success();
}

UnitResult ImageFileUnit::Eject()
{
    return UnitResult::Success();
}

UnitResult ImageFileUnit::UnderrunProtection(bool& supported)
{
    supported = true;
    return UnitResult::Success();
}

UnitResult ImageFileUnit::WriteModes(UnitWriteModes& modes)
{
    modes.trackAtOnce = true;
    modes.sessionAtOnce = true;
    modes.raw = false;
    return UnitResult::Success();
}

UnitResult ImageFileUnit::WriteImage(ImageStream& stream, const WriteSettings& settings,
                                     const WriteEvents& events)
{
    // An image nobody took is nobody's to hold any more.
    KeepWritten(WrittenImage());
    const std::string folder = WithoutTrailingSlash(settings.imageFolder);
    if (folder.empty())
        return UnitResult::Failure(RECORDER_INVALID_ARGUMENT, "no folder was given for the disc image");
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return UnitResult::Failure(RECORDER_COMMAND_FAILED,
                                   "cannot write an image file in " + folder + ": " + std::strerror(errno));
    UnitResult result = WriteInFolder(stream, folderFd, folder, settings, events);
    close(folderFd);
    return result;
}

UnitResult ImageFileUnit::WriteInFolder(ImageStream& stream, int folderFd, const std::string& folder,
                                        const WriteSettings& settings, const WriteEvents& events)
{
    const std::string target = folder + "/" + ImageFileRecorder::ImageFileName(stream.VolumeLabel());
    // Written under a name of its own and renamed only when complete, so an
    // older image of the same name survives a failed write.
    PartFile part;
    std::string error;
    if (!CreatePartFile(folderFd, &part, &error))
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot create an image file in " + folder + ": " + error);
    // The image is the user's like any file they make: readable as their
    // file-creation mask allows, not private as a temporary file is.
    fchmod(part.fd, 0666 & ~FileCreationMask());

    UnitResult result = WriteThroughStdio(stream, part.fd, settings, events);
    if (!result.Ok() && !Control().Cancelled())
        result.text = WriteFailure(result.text, target, folder, stream.Size());
    if (result.Ok() && fsync(part.fd) != 0)
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot write " + target + ": " + std::strerror(errno));
    WrittenImage image;
    if (result.Ok() && !PlaceImage(folderFd, folder, part, stream.VolumeLabel(), &image.path, &image.note, &error))
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, error);
    if (!result.Ok()) {
        unlinkat(folderFd, part.name.c_str(), 0);
        close(part.fd);
        return result;
    }
    image.path = folder + "/" + image.path;
    image.holdFd = part.fd;
    KeepWritten(std::move(image));
    return result;
}

UnitResult ImageFileUnit::WriteThroughStdio(ImageStream& stream, int fd, const WriteSettings& settings,
                                            const WriteEvents& events)
{
    DiscardLibburnMessages();
    // libburn writes through its own duplicate of the descriptor: the file
    // is the one made above, whatever its name meanwhile leads to.
    std::string address = "stdio:/dev/fd/" + std::to_string(fd);
    burn_drive_info* info = nullptr;
    if (burn_drive_scan_and_grab(&info, address.data(), 0) != 1)
        return UnitResult::Failure(RECORDER_GRAB_FAILED, "libburn cannot write the image file");
    // Not a throttle: the image is written as fast as the disk takes it.
    WriteSettings unthrottled = settings;
    unthrottled.speed = 0;
    TrackWriter writer(info[0].drive, unthrottled, events, Control(), TrackWriter::SpeedTable::Dvd);
    UnitResult result = writer.Write(stream);
    burn_drive_release(info[0].drive, 0);
    burn_drive_info_free(info);
    return result;
}

void ImageFileUnit::KeepWritten(WrittenImage image)
{
    int previous;
    {
        std::lock_guard<std::mutex> lock(writtenMutex_);
        previous = written_.holdFd;
        written_ = std::move(image);
    }
    if (previous >= 0)
        close(previous);
}

WrittenImage ImageFileUnit::TakeWrittenImage()
{
    std::lock_guard<std::mutex> lock(writtenMutex_);
    WrittenImage image = std::move(written_);
    written_ = WrittenImage();
    return image;
}

UnitResult ImageFileUnit::WriteVideoCd(VideoCdKind kind, const std::string& sourcePath,
                                       const std::string& album, const WriteSettings&,
                                       const WriteEvents& events)
{
    VideoCdImage image;
    return MakeVideoCdImage(kind, sourcePath, album, FolderOf(sourcePath), events, Control(), image);
}
