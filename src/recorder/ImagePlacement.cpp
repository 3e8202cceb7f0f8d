#include "recorder/ImagePlacement.h"

#include "platform/FolderTree.h"
#include "recorder/ImageFileRecorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNameAttempts = 100;
// "label (2).iso" to "label (999).iso".
constexpr int kLastNumber = 999;

std::string RandomLetters()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string letters;
    for (int i = 0; i < 6; ++i)
        letters += kLetters[random() % (sizeof kLetters - 1)];
    return letters;
}

bool SameEntry(int folderFd, const std::string& name, int fd)
{
    struct stat named {}, open {};
    return ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Renames unless to exists. File systems without renameat2 get a link and
// an unlink, which never replace either.
bool RenameNoReplace(int folderFd, const std::string& from, const std::string& to)
{
    if (::renameat2(folderFd, from.c_str(), folderFd, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::linkat(folderFd, from.c_str(), folderFd, to.c_str(), 0) != 0)
        return false;
    ::unlinkat(folderFd, from.c_str(), 0);
    return true;
}

// Why an existing entry of that name must stay; "" when it is an earlier
// image of the user's that no run holds.
std::string WhyItStays(int folderFd, const std::string& name)
{
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "is " + EntryKind(info.st_mode) + ", not an image";
    if (info.st_uid != ::geteuid())
        return "belongs to another user";
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string("cannot be opened: ") + std::strerror(errno);
    std::string why;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        why = "is held by another run of KANDRIX";
    else if (!SameEntry(folderFd, name, fd))
        why = "changed while it was looked at";
    ::close(fd);
    return why;
}

} // namespace

bool CreatePartFile(int folderFd, PartFile* part, std::string* error)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = ImageFileRecorder::kPartPrefix + RandomLetters() + ImageFileRecorder::kPartSuffix;
        const int fd = ::openat(folderFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = std::strerror(errno);
            return false;
        }
        // A start clearing dead runs' leftovers may have taken the file
        // before the lock was on it; then another name is tried.
        if (::flock(fd, LOCK_SH) == 0 && SameEntry(folderFd, name, fd)) {
            part->fd = fd;
            part->name = name;
            return true;
        }
        ::close(fd);
    }
    *error = "no free name for the image's part file";
    return false;
}

bool PlaceImage(int folderFd, const std::string& folder, const PartFile& part, const std::string& label,
                std::string* finalName, std::string* note, std::string* error)
{
    note->clear();
    const std::string own = ImageFileRecorder::ImageFileName(label);
    if (RenameNoReplace(folderFd, part.name, own)) {
        *finalName = own;
        return true;
    }
    if (errno != EEXIST) {
        *error = folder + "/" + own + ": " + std::strerror(errno);
        return false;
    }
    const std::string why = WhyItStays(folderFd, own);
    if (why.empty() && ::renameat(folderFd, part.name.c_str(), folderFd, own.c_str()) == 0) {
        *finalName = own;
        return true;
    }
    for (int number = 2; number <= kLastNumber; ++number) {
        const std::string other = ImageFileRecorder::NumberedImageFileName(label, number);
        if (RenameNoReplace(folderFd, part.name, other)) {
            *finalName = other;
            *note = folder + "/" + own + " " + (why.empty() ? "could not be replaced" : why) + "; the image is " +
                    folder + "/" + other;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    *error = folder + "/" + own + ": " + (why.empty() ? std::strerror(errno) : why) + ", and no other name is free";
    return false;
}
