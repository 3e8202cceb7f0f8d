#include "recorder/ReadBack.h"

#include "recorder/BurnEvents.h"
#include "recorder/DigestPipeline.h"
#include "recorder/ImageDigest.h"
#include "recorder/WriteControl.h"

#include <libburn/libburn.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t FileReadBack::Read(int64_t offset, unsigned char* buffer, int64_t size)
{
    int64_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd_, buffer + done, static_cast<size_t>(size - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        // A piece direct I/O cannot take (a sector size past 2048) is read
        // through the page cache, which has been emptied of it.
        if (got < 0 && errno == EINVAL && ClearDirect())
            continue;
        if (got < 0) {
            error_ = std::strerror(errno);
            return done > 0 ? done : -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool FileReadBack::ClearDirect()
{
    const int flags = fcntl(fd_, F_GETFL);
    return flags >= 0 && (flags & O_DIRECT) != 0 && fcntl(fd_, F_SETFL, flags & ~O_DIRECT) == 0;
}

int64_t DriveReadBack::Read(int64_t offset, unsigned char* buffer, int64_t size)
{
    DiscardLibburnMessages();
    off_t count = 0;
    if (burn::burn_read_data(drive_, offset, reinterpret_cast<char*>(buffer), size, &count, 0) == 1)
        return size;
    const LibburnMessage message = LatestLibburnMessage();
    error_ = message.present ? "libburn: " + message.text : "the drive reported a read error";
    // The sectors before the bad one still count; the next read meets it.
    return count > 0 ? static_cast<int64_t>(count) : -1;
}

UnitResult VerifyReadBack(ReadBackSource& source, const ImageDigest& written, const WriteControl& control,
                          const WriteEvents& events, std::string& md5)
{
    ImageDigest readBack(ImageDigest::ReadBackOf{written});
    int64_t total = written.Bytes();
    int64_t done = 0;
    {
        DigestPipeline pipeline(readBack);
        while (done < total && readBack.FirstDifferingSector() < 0) {
            if (control.Cancelled())
                return UnitResult::Failure(RECORDER_COMMAND_FAILED, "the verify was cancelled");
            unsigned char* block = pipeline.FreeBlock();
            const int64_t want = std::min<int64_t>(DigestPipeline::kBlockBytes, total - done);
            const int64_t got = source.Read(done, block, want);
            if (got < 0) {
                return UnitResult::Failure(RECORDER_COMMAND_FAILED,
                                           "cannot read back sector " +
                                               std::to_string(done / ImageDigest::kSectorBytes) + ": " +
                                               source.Error());
            }
            if (got == 0)
                break;
            pipeline.Hash(block, static_cast<size_t>(got));
            done += got;
            events.Send(RECORDER_EVENT_PROGRESS, &total, &done);
        }
        pipeline.Finish();
    }
    int64_t sector = readBack.FirstDifferingSector();
    // A medium that ends early differs where it ends.
    if (sector < 0 && done < total)
        sector = done / ImageDigest::kSectorBytes;
    if (sector >= 0)
        return UnitResult::Failure(RECORDER_COMMAND_FAILED,
                                   "the disc differs from the image at sector " + std::to_string(sector));
    // Every sector's mark matched; the sum of the whole fingerprints settles
    // what 32 bits could not.
    if (!readBack.SameAsWritten())
        return UnitResult::Failure(RECORDER_COMMAND_FAILED, "the disc differs from the image");
    // What was read is what was written, whose MD5 is known.
    md5 = written.Hex();
    return UnitResult::Success();
}
