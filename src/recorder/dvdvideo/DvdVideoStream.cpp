#include "recorder/dvdvideo/DvdVideoStream.h"

#include "recorder/dvdvideo/DiscBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using DiscBytes::kSectorSize;
using DiscBytes::SectorsFor;

DvdVideoStream::DvdVideoStream(const ImagePlan& plan, const MetadataSectors& metadata, std::string sourceFolder)
    : plan_(plan), metadata_(metadata), sourceFolder_(std::move(sourceFolder))
{
}

DvdVideoStream::~DvdVideoStream()
{
    CloseFile();
}

int64_t DvdVideoStream::Size() const
{
    return plan_.sectors * kSectorSize;
}

void DvdVideoStream::Rewind()
{
    CloseFile();
    position_ = 0;
    fileIndex_ = 0;
    error_.clear();
}

int64_t DvdVideoStream::Fail(const std::string& text)
{
    error_ = text;
    CloseFile();
    return -1;
}

int64_t DvdVideoStream::Read(unsigned char* buffer, int64_t size)
{
    if (!error_.empty())
        return -1;
    if (buffer == nullptr || size < 0)
        return Fail("image read with no buffer");
    int64_t done = 0;
    int64_t zoneStart = plan_.zoneStart * kSectorSize;
    int64_t zoneEnd = (plan_.zoneStart + plan_.layout.sectors) * kSectorSize;
    while (done < size && position_ < Size()) {
        bool inZone = position_ >= zoneStart && position_ < zoneEnd;
        int64_t count = inZone ? ReadZone(buffer + done, size - done) : ReadMetadata(buffer + done, size - done);
        if (count < 0)
            return -1;
        done += count;
        position_ += count;
    }
    return done;
}

int64_t DvdVideoStream::ReadMetadata(unsigned char* buffer, int64_t size)
{
    int64_t sector = position_ / kSectorSize;
    int64_t offset = position_ % kSectorSize;
    int64_t count = std::min(size, kSectorSize - offset);
    const uint8_t* bytes = metadata_.Find(sector);
    if (bytes != nullptr)
        std::memcpy(buffer, bytes + offset, static_cast<size_t>(count));
    else
        std::memset(buffer, 0, static_cast<size_t>(count));
    return count;
}

int64_t DvdVideoStream::ReadZone(unsigned char* buffer, int64_t size)
{
    const std::vector<PlacedFile>& files = plan_.layout.files;
    while (fileIndex_ < files.size() &&
           position_ >= (plan_.FileSector(fileIndex_) + SectorsFor(files[fileIndex_].size)) * kSectorSize)
        ++fileIndex_;
    if (fileIndex_ == files.size()) {
        std::memset(buffer, 0, static_cast<size_t>(size));
        return size;
    }
    const PlacedFile& file = files[fileIndex_];
    int64_t start = plan_.FileSector(fileIndex_) * kSectorSize;
    int64_t count;
    if (position_ < start) {
        count = std::min(size, start - position_);
    } else if (position_ < start + file.size) {
        return ReadFile(file, position_ - start, buffer, std::min(size, start + file.size - position_));
    } else {
        count = std::min(size, start + SectorsFor(file.size) * kSectorSize - position_);
    }
    std::memset(buffer, 0, static_cast<size_t>(count));
    return count;
}

int64_t DvdVideoStream::ReadFile(const PlacedFile& file, int64_t offset, unsigned char* buffer, int64_t size)
{
    if (offset == 0 && fd_ < 0 && !OpenFile(file))
        return -1;
    if (fd_ < 0)
        return Fail(file.path + ": read out of order");
    if (blockStart_ == blockEnd_) {
        // A large request goes straight into the reader's buffer; a small one
        // is served from one large read.
        if (size >= static_cast<int64_t>(kDirectBytes))
            return FillFromFile(file, buffer, size) && FinishFile(file) ? size : -1;
        block_.resize(kBlockBytes);
        int64_t count = std::min<int64_t>(kBlockBytes, file.size - fileRead_);
        if (!FillFromFile(file, block_.data(), count))
            return -1;
        blockStart_ = 0;
        blockEnd_ = static_cast<size_t>(count);
    }
    int64_t count = std::min<int64_t>(size, static_cast<int64_t>(blockEnd_ - blockStart_));
    std::memcpy(buffer, block_.data() + blockStart_, static_cast<size_t>(count));
    blockStart_ += static_cast<size_t>(count);
    if (blockStart_ == blockEnd_ && !FinishFile(file))
        return -1;
    return count;
}

bool DvdVideoStream::OpenFile(const PlacedFile& file)
{
    fd_ = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        Fail(file.path + ": cannot be opened: " + std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0) {
        Fail(file.path + ": cannot be read: " + std::strerror(errno));
        return false;
    }
    if (info.st_size != file.size) {
        Fail(file.path + ": now " + std::to_string(info.st_size) + " bytes, but " + std::to_string(file.size) +
             " when the image was planned");
        return false;
    }
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    fileRead_ = 0;
    blockStart_ = blockEnd_ = 0;
    return true;
}

bool DvdVideoStream::FillFromFile(const PlacedFile& file, unsigned char* buffer, int64_t size)
{
    int64_t done = 0;
    while (done < size) {
        ssize_t got = read(fd_, buffer + done, static_cast<size_t>(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            Fail(file.path + ": cannot be read: " + std::strerror(errno));
            return false;
        }
        if (got == 0) {
            Fail(file.path + ": ended after " + std::to_string(fileRead_ + done) + " bytes, but had " +
                 std::to_string(file.size) + " when the image was planned");
            return false;
        }
        done += got;
    }
    fileRead_ += done;
    return true;
}

// Once all planned bytes are in, the file must not have grown meanwhile:
// the image would then hold a cut copy of it.
bool DvdVideoStream::FinishFile(const PlacedFile& file)
{
    if (fileRead_ < file.size)
        return true;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || info.st_size != file.size) {
        Fail(file.path + ": changed size while the image was made (" + std::to_string(file.size) + " bytes planned)");
        return false;
    }
    CloseFile();
    return true;
}

void DvdVideoStream::CloseFile()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    blockStart_ = blockEnd_ = 0;
}
