#include "platform/RegularFile.h"

#include "platform/FolderTree.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Empty when the file is fit to read.
std::string Unfit(const struct stat& info, std::uint64_t maxSize)
{
    if (!S_ISREG(info.st_mode))
        return EntryKind(info.st_mode) + ", not a regular file";
    if (static_cast<std::uint64_t>(info.st_size) > maxSize)
        return "larger than " + std::to_string(maxSize) + " bytes (" + std::to_string(info.st_size) + ")";
    return {};
}

int Refuse(const std::string& path, const std::string& why, std::string* cause)
{
    std::fprintf(stderr, "KANDRIX: %s is taken as absent: %s\n", path.c_str(), why.c_str());
    if (cause)
        *cause = why;
    return -1;
}

} // namespace

int OpenRegularFile(const std::string& path, std::uint64_t maxSize, std::string* cause)
{
    if (cause)
        cause->clear();
    // Looked at before opening: opening a device or a FIFO may itself have an
    // effect (a tape rewinds, a waiting writer is released).
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return -1;
        return Refuse(path, std::strerror(errno), cause);
    }
    if (std::string why = Unfit(info, maxSize); !why.empty())
        return Refuse(path, why, cause);

    // The name may have changed hands since: the open cannot wait, and the
    // descriptor itself is what is checked.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return -1;
        return Refuse(path, std::strerror(errno), cause);
    }
    std::string why;
    if (::fstat(fd, &info) != 0)
        why = std::strerror(errno);
    else
        why = Unfit(info, maxSize);
    if (!why.empty()) {
        ::close(fd);
        return Refuse(path, why, cause);
    }
    return fd;
}

bool ReadRegularFile(const std::string& path, std::uint64_t maxSize, std::string& contents, std::string* cause)
{
    contents.clear();
    const int fd = OpenRegularFile(path, maxSize, cause);
    if (fd < 0)
        return false;
    char chunk[16384];
    std::string why;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            why = std::strerror(errno);
            break;
        }
        if (got == 0)
            break;
        if (contents.size() + static_cast<std::size_t>(got) > maxSize) {
            why = "grew past " + std::to_string(maxSize) + " bytes while read";
            break;
        }
        contents.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!why.empty()) {
        contents.clear();
        Refuse(path, why, cause);
        return false;
    }
    return true;
}
