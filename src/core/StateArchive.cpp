#include "core/StateArchive.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Texts below this length carry a one-byte prefix; up to kMaxWordLength a
// 0xFF byte and a 16-bit word; longer ones 0xFF, 0xFFFF and a 32-bit length.
constexpr std::uint32_t kByteEscape = 0xFF;
constexpr std::uint32_t kWordEscape = 0xFFFF;
constexpr std::uint32_t kMaxWordLength = 0xFFFD;

// The settings record is a few hundred bytes; anything far larger is not ours.
constexpr std::size_t kMaxStateFileSize = 1u << 20;

} // namespace

StateArchive::StateArchive() : loading_(false) {}

StateArchive::StateArchive(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), loading_(true) {}

void StateArchive::WriteLE(std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void StateArchive::WriteInt(std::int32_t value)
{
    WriteLE(static_cast<std::uint32_t>(value), 4);
}

void StateArchive::WriteText(const std::string& text)
{
    const auto length = static_cast<std::uint32_t>(text.size());
    if (length < kByteEscape) {
        WriteLE(length, 1);
    } else if (length <= kMaxWordLength) {
        WriteLE(kByteEscape, 1);
        WriteLE(length, 2);
    } else {
        WriteLE(kByteEscape, 1);
        WriteLE(kWordEscape, 2);
        WriteLE(length, 4);
    }
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

bool StateArchive::ReadLE(std::uint32_t& value, int byteCount)
{
    if (failed_ || !loading_ || bytes_.size() - position_ < static_cast<std::size_t>(byteCount)) {
        failed_ = true;
        return false;
    }
    value = 0;
    for (int i = 0; i < byteCount; ++i)
        value |= static_cast<std::uint32_t>(bytes_[position_ + i]) << (8 * i);
    position_ += byteCount;
    return true;
}

bool StateArchive::ReadInt(std::int32_t& value)
{
    std::uint32_t raw = 0;
    if (!ReadLE(raw, 4))
        return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool StateArchive::ReadTextLength(std::uint32_t& length)
{
    if (!ReadLE(length, 1))
        return false;
    if (length < kByteEscape)
        return true;
    if (!ReadLE(length, 2))
        return false;
    if (length <= kMaxWordLength)
        return true;
    if (length != kWordEscape) {
        // 0xFFFE is never written: a damaged prefix.
        failed_ = true;
        return false;
    }
    return ReadLE(length, 4);
}

bool StateArchive::ReadText(std::string& text)
{
    std::uint32_t length = 0;
    if (!ReadTextLength(length))
        return false;
    if (bytes_.size() - position_ < length) {
        failed_ = true;
        return false;
    }
    text.assign(reinterpret_cast<const char*>(bytes_.data() + position_), length);
    position_ += length;
    return true;
}

bool ReadStateFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::string contents;
    if (!ReadRegularFile(path, kMaxStateFileSize, contents)) {
        bytes.clear();
        return false;
    }
    bytes.assign(contents.begin(), contents.end());
    return true;
}

namespace {

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += static_cast<std::size_t>(put);
    }
    return true;
}

// What any new file of the user's gets: 0666 less the umask. The umask is
// read, not set and reset, so no other thread's new file is made under 0.
mode_t NewFileMode()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return 0666 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// For a file that may be written in a folder where no new file may be made;
// only ever an existing regular file, never a device or a FIFO behind the name.
bool WriteInPlace(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) == 0 &&
                   WriteAll(fd, bytes);
    bool closed = ::close(fd) == 0;
    return written && closed;
}

// The file that saving replaces. A link to a regular file is followed, so the
// link stays; a link to anything else (a device such as /dev/null, a FIFO) is
// itself replaced by a regular file: saving settings never means writing into
// a device, and a mode copied from one (0666) is how a world-writable
// settings file came about.
std::string FileToReplace(const std::string& path)
{
    struct stat link {};
    struct stat target {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string real(resolved);
            std::free(resolved);
            return real;
        }
    }
    std::fprintf(stderr, "KANDRIX: %s is a link that leads to no regular file; the settings replace the link\n",
                 path.c_str());
    return path;
}

} // namespace

bool WriteStateFile(const std::string& requestedPath, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = FileToReplace(requestedPath);
    struct stat info {};
    const bool regular = ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    if (regular && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    // The record goes to a file of its own and replaces the old one only once
    // it is whole, so a full disk never leaves the user with half a record.
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return regular && WriteInPlace(path, bytes);
    ::fchmod(fd, regular ? (info.st_mode & 07777) : NewFileMode());
    bool written = WriteAll(fd, bytes);
    bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}
