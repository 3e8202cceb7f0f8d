#include "recorder/ImageFileWriter.h"

#include "recorder/BurnEvents.h"
#include "recorder/DigestPipeline.h"
#include "recorder/ImageDigest.h"
#include "recorder/ImageStream.h"
#include "recorder/ImageWriteEvents.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// The stream fills large blocks, which go to the file in pieces of this
// size: on Linux 6.x a single write of 512 KiB or more into the page cache
// took three times as long as the same bytes in pieces of up to 256 KiB
// (measured on ext4: 1.1-1.6 s a GB against 0.3-0.4 s).
constexpr size_t kWriteBytes = 128 * 1024;

// Fills buffer from the stream: less than size only where the image ends,
// -1 on its failure.
int64_t ReadFull(ImageStream& stream, unsigned char* buffer, int64_t size)
{
    int64_t filled = 0;
    while (filled < size) {
        const int64_t got = stream.Read(buffer + filled, size - filled);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

} // namespace

ImageFileWriter::ImageFileWriter(int fd, std::string target, const WriteSettings& settings,
                                 const WriteEvents& events, const WriteControl& control)
    : fd_(fd), target_(std::move(target)), settings_(settings), events_(events), control_(control)
{
}

UnitResult ImageFileWriter::Write(ImageStream& stream, ImageDigest& digest)
{
    if (UnitResult announced = AnnounceImage(stream, events_); !announced.Ok())
        return announced;
    // The first block stands for a drive's cache: the write begins once it
    // is in.
    int32_t limitMs = settings_.cacheSeconds * 1000;
    events_.Send(RECORDER_EVENT_CACHE_WAIT_BEGIN, &limitMs);
    const Clock::time_point start = Clock::now();
    int syncError = 0;
    {
        DigestPipeline pipeline(digest);
        if (UnitResult copied = Copy(stream, pipeline); !copied.Ok())
            return copied;
        events_.Send(RECORDER_EVENT_SYNCHRONIZE_BEGIN);
        // The last blocks' MD5 is taken meanwhile.
        syncError = fdatasync(fd_) == 0 ? 0 : errno;
        pipeline.Finish();
        events_.Send(RECORDER_EVENT_SYNCHRONIZE_END);
    }
    if (syncError != 0)
        return SystemFailure(syncError);
    const int64_t total = stream.Size();
    ReportWriteSpeed(events_, WriteSpeedTable::Dvd, total, std::chrono::duration<double>(Clock::now() - start).count());
    return UnitResult::Success();
}

UnitResult ImageFileWriter::Copy(ImageStream& stream, DigestPipeline& pipeline)
{
    int64_t total = stream.Size();
    int64_t done = 0;
    while (done < total) {
        if (control_.Cancelled())
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, "the write was cancelled");
        unsigned char* block = pipeline.FreeBlock();
        const int64_t got = ReadFull(stream, block, std::min<int64_t>(DigestPipeline::kBlockBytes, total - done));
        if (got < 0) {
            const std::string cause = stream.Error();
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, cause.empty() ? "the disc image could not be read" : cause);
        }
        if (got == 0)
            return UnitResult::Failure(RECORDER_COMMAND_FAILED, "the disc image ended early");
        if (done == 0)
            events_.Send(RECORDER_EVENT_CACHE_WAIT_END);
        pipeline.Hash(block, static_cast<size_t>(got));
        if (!WriteAll(block, static_cast<size_t>(got)))
            return SystemFailure(errno);
        // The disk starts on each block at once rather than at the final
        // sync, which then finds little left to wait for.
        sync_file_range(fd_, done, got, SYNC_FILE_RANGE_WRITE);
        done += got;
        events_.Send(RECORDER_EVENT_PROGRESS, &total, &done);
    }
    return UnitResult::Success();
}

bool ImageFileWriter::WriteAll(const unsigned char* data, size_t size)
{
    while (size > 0) {
        const ssize_t wrote = ::write(fd_, data, std::min(size, kWriteBytes));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            if (wrote == 0)
                errno = EIO;
            return false;
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

UnitResult ImageFileWriter::SystemFailure(int error) const
{
    return UnitResult::Failure(RECORDER_COMMAND_FAILED, "cannot write " + target_ + ": " + std::strerror(error));
}
