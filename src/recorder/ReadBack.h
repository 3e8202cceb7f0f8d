#pragma once
// The verify after a write: the image read back from the medium it went to
// and compared, sector by sector, with the digest taken as it was written.

#include "recorder/LibburnMessages.h"

#include <cstdint>
#include <string>

class ImageDigest;
class WriteControl;
struct WriteEvents;

namespace burn {
struct burn_drive;
} // namespace burn

// Where the image is read back from.
class ReadBackSource {
public:
    virtual ~ReadBackSource() = default;
    // Fills buffer from byte offset of the medium: the count read (less
    // than size only where the medium ends), or -1 with the cause in Error().
    virtual int64_t Read(int64_t offset, unsigned char* buffer, int64_t size) = 0;
    virtual std::string Error() const = 0;
};

// An image file, from a descriptor of its own, best opened for direct I/O
// so that what is read comes from the disk.
class FileReadBack final : public ReadBackSource {
public:
    explicit FileReadBack(int fd) : fd_(fd) {}
    int64_t Read(int64_t offset, unsigned char* buffer, int64_t size) override;
    std::string Error() const override { return error_; }

private:
    bool ClearDirect();

    int fd_;
    std::string error_;
};

// A grabbed drive, through libburn.
class DriveReadBack final : public ReadBackSource {
public:
    explicit DriveReadBack(burn::burn_drive* drive) : drive_(drive) {}
    int64_t Read(int64_t offset, unsigned char* buffer, int64_t size) override;
    std::string Error() const override { return error_; }

private:
    burn::burn_drive* drive_;
    std::string error_;
};

// Reads written.Bytes() from the start of source, with progress events, and
// fails naming the first sector that differs, or the one that cannot be
// read. md5: what was read, when it all matched.
UnitResult VerifyReadBack(ReadBackSource& source, const ImageDigest& written, const WriteControl& control,
                          const WriteEvents& events, std::string& md5);
