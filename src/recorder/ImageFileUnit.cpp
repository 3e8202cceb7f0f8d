#include "recorder/ImageFileUnit.h"

#include "recorder/BurnEvents.h"
#include "recorder/DiscTypes.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/ImageFileWriter.h"
#include "recorder/ImagePlacement.h"
#include "recorder/ImageStream.h"
#include "recorder/ReadBack.h"
#include "recorder/RecorderRecords.h"
#include "recorder/VideoCdMaker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

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

ImageFileUnit::~ImageFileUnit()
{
    // An image no burn took (a failed verify, the library shut down) is
    // let go here.
    if (written_.holdFd >= 0)
        close(written_.holdFd);
}

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
    KeepDigest(nullptr);
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

    std::unique_ptr<ImageDigest> digest;
    UnitResult result;
    try {
        digest = std::make_unique<ImageDigest>(stream.Size());
        ImageFileWriter writer(part.fd, target, settings, events, Control());
        result = writer.Write(stream, *digest);
    } catch (const std::exception& error) {
        // The part file must go with the write it was for.
        result = UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot write " + target + ": " + error.what());
    }
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
    std::string md5 = digest->Hex();
    KeepDigest(std::move(digest));
    events.Send(RECORDER_EVENT_IMAGE_MD5, md5.data());
    return result;
}

UnitResult ImageFileUnit::VerifyLastWrite(const WriteEvents& events, std::string& md5)
{
    int held = -1;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(writtenMutex_);
        if (written_.holdFd >= 0)
            held = fcntl(written_.holdFd, F_DUPFD_CLOEXEC, 0);
        path = written_.path;
    }
    if (held < 0 || LastDigest() == nullptr) {
        if (held >= 0)
            close(held);
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "no image was written to read back");
    }
    // The image is read from the disk, not from memory.
    fdatasync(held);
    posix_fadvise(held, 0, 0, POSIX_FADV_DONTNEED);
    const int fd = OpenForReadBack(path, held);
    if (fd < 0) {
        const std::string cause = std::strerror(errno);
        close(held);
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot read back " + path + ": " + cause);
    }
    FileReadBack source(fd);
    UnitResult result = VerifyReadBack(source, *LastDigest(), Control(), events, md5);
    if (!result.Ok() && !Control().Cancelled())
        RemoveWrittenImage(held);
    close(fd);
    close(held);
    return result;
}

// The image by its name for direct I/O, where the file system has it and the
// name still leads to the file the run holds; else the held file itself.
int ImageFileUnit::OpenForReadBack(const std::string& path, int held)
{
    const int direct = open(path.c_str(), O_RDONLY | O_DIRECT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat opened {}, own {};
    if (direct >= 0 && fstat(direct, &opened) == 0 && fstat(held, &own) == 0 && S_ISREG(opened.st_mode) &&
        opened.st_dev == own.st_dev && opened.st_ino == own.st_ino)
        return direct;
    if (direct >= 0)
        close(direct);
    return fcntl(held, F_DUPFD_CLOEXEC, 0);
}

// An image that does not read back as written must not pass for a good one
// later; it goes, if its name still leads to it.
void ImageFileUnit::RemoveWrittenImage(int fd)
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(writtenMutex_);
        path = written_.path;
    }
    struct stat named {}, held {};
    if (::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
        ::unlink(path.c_str());
    KeepWritten(WrittenImage());
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
    KeepDigest(nullptr);
    VideoCdImage image;
    return MakeVideoCdImage(kind, sourcePath, album, FolderOf(sourcePath), events, Control(), image);
}
