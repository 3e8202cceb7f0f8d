#include "app/StateArchive.h"

#include <cerrno>
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
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.clear();
    std::uint8_t chunk[512];
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0 || bytes.size() >= kMaxStateFileSize)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return ok;
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

// For a file that may be written in a folder where no new file may be made.
bool WriteInPlace(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, bytes);
    bool closed = ::close(fd) == 0;
    return written && closed;
}

} // namespace

bool WriteStateFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    // The record goes to a file of its own and replaces the old one only once
    // it is whole, so a full disk never leaves the user with half a record.
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return WriteInPlace(path, bytes);
    ::fchmod(fd, exists ? (info.st_mode & 07777) : 0644);
    bool written = WriteAll(fd, bytes);
    bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}
