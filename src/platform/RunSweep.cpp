#include "platform/RunSweep.h"

#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/RunFolder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A record holds two paths; anything larger is not one of ours.
constexpr off_t kMaxRecordBytes = 65536;

// Descriptor of an entry of folderFd, opened without following a link and
// without waiting (a FIFO), when it is a regular file of the user's; -1
// otherwise.
int OpenOwnFileAt(int folderFd, const std::string& name, int flags)
{
    const int fd = ::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The descriptor holds the lock now; -1 while its holder lives.
int TakeLock(int folderFd, const std::string& name)
{
    const int fd = OpenOwnFileAt(folderFd, name, O_RDONLY);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SameEntry(int folderFd, const std::string& name, int fd)
{
    struct stat named {}, held {};
    return ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

std::vector<std::string> NamesIn(int folderFd)
{
    std::vector<std::string> names;
    const int listFd = ::dup(folderFd);
    DIR* folder = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!folder) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

bool ReadRecord(int recordsFd, const std::string& name, std::string* text)
{
    const int fd = OpenOwnFileAt(recordsFd, name, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat info {};
    bool read = ::fstat(fd, &info) == 0 && info.st_size <= kMaxRecordBytes;
    if (read) {
        text->assign(static_cast<size_t>(info.st_size), '\0');
        read = ::pread(fd, text->data(), text->size(), 0) == static_cast<ssize_t>(text->size());
    }
    ::close(fd);
    return read;
}

// A dead run's work folder: locked by this sweep while it goes, and only
// ever a folder of the user's whose name a run gives its folders.
bool RemoveWorkFolder(const std::string& workFolder)
{
    std::string folder = workFolder;
    while (folder.size() > 1 && folder.back() == kPathSeparator)
        folder.pop_back();
    const std::string name = FileNameOf(folder);
    if (name.rfind(RunFolder::kNamePrefix, 0) != 0)
        return false;
    const int parentFd = ::open(FolderOf(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return errno == ENOENT;
    bool removed = false;
    const int folderFd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (folderFd < 0) {
        removed = errno == ENOENT;
    } else if (::fstat(folderFd, &info) == 0 && info.st_uid == ::geteuid()) {
        const int lockFd = ::openat(folderFd, RunFolder::kLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        const bool dead = lockFd < 0 ? errno == ENOENT : ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;
        removed = dead && RemoveTreeAt(parentFd, name);
        if (lockFd >= 0)
            ::close(lockFd);
    }
    if (folderFd >= 0)
        ::close(folderFd);
    ::close(parentFd);
    return removed;
}

void RemoveWriterLeftovers(const std::string& outputFolder,
                           const std::function<bool(const std::string&)>& isWriterLeftover)
{
    const int folderFd = ::open(outputFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return;
    for (const std::string& name : NamesIn(folderFd)) {
        if (!isWriterLeftover(name))
            continue;
        const int fd = TakeLock(folderFd, name);
        if (fd < 0)
            continue;
        if (SameEntry(folderFd, name, fd))
            ::unlinkat(folderFd, name.c_str(), 0);
        ::close(fd);
    }
    ::close(folderFd);
}

} // namespace

std::string RunRecordFolder()
{
    const std::string cache = GetCacheFolder();
    return cache.empty() ? std::string() : cache + "runs" + kPathSeparator;
}

std::string EncodeRunRecord(const std::string& workFolder, const std::string& outputFolder)
{
    // Paths may hold any byte but NUL.
    return workFolder + '\0' + outputFolder + '\0';
}

bool DecodeRunRecord(const std::string& text, std::string* workFolder, std::string* outputFolder)
{
    const size_t first = text.find('\0');
    if (first == std::string::npos || first == 0 || text.size() < first + 2 || text.back() != '\0')
        return false;
    *workFolder = text.substr(0, first);
    *outputFolder = text.substr(first + 1, text.size() - first - 2);
    return outputFolder->find('\0') == std::string::npos;
}

int RemoveDeadRuns(const std::function<bool(const std::string& name)>& isWriterLeftover)
{
    const std::string records = RunRecordFolder();
    const int recordsFd =
        records.empty() ? -1 : ::open(records.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (recordsFd < 0)
        return 0;
    int cleared = 0;
    for (const std::string& name : NamesIn(recordsFd)) {
        std::string text, workFolder, outputFolder;
        if (name.rfind("run-", 0) != 0 || !ReadRecord(recordsFd, name, &text) ||
            !DecodeRunRecord(text, &workFolder, &outputFolder) || !RemoveWorkFolder(workFolder))
            continue;
        RemoveWriterLeftovers(outputFolder, isWriterLeftover);
        ::unlinkat(recordsFd, name.c_str(), 0);
        ++cleared;
    }
    ::close(recordsFd);
    return cleared;
}
