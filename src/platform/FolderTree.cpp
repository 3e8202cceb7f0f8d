#include "platform/FolderTree.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A work folder is three levels deep (VIDEO_TS inside the authoring
// folder); anything far deeper was not made by a run.
constexpr int kMaxDepth = 16;

std::string Cause(const std::string& path, int error)
{
    return path + ": " + std::strerror(error);
}

bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool RemoveBelow(int folderFd, int depth, std::string* error);

bool RemoveEntry(int parentFd, const std::string& name, int depth, std::string* error)
{
    if (::unlinkat(parentFd, name.c_str(), 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM) {
        if (error)
            *error = Cause(name, errno);
        return false;
    }
    const int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = Cause(name, errno);
        return false;
    }
    if (depth >= kMaxDepth) {
        ::close(fd);
        if (error)
            *error = name + ": nested too deep to be a run's folder";
        return false;
    }
    if (!RemoveBelow(fd, depth + 1, error))
        return false;
    if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
        if (error)
            *error = Cause(name, errno);
        return false;
    }
    return true;
}

// Takes over folderFd.
bool RemoveBelow(int folderFd, int depth, std::string* error)
{
    DIR* folder = ::fdopendir(folderFd);
    if (!folder) {
        ::close(folderFd);
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    // Names first: removing while reading may skip entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    bool removed = true;
    for (const std::string& name : names)
        removed = RemoveEntry(::dirfd(folder), name, depth, error) && removed;
    ::closedir(folder);
    return removed;
}

} // namespace

std::string EntryKind(unsigned mode)
{
    if (S_ISREG(mode))
        return "a regular file";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

bool IsSharedFolder(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return true;
    return (info.st_mode & (S_IWGRP | S_IWOTH | S_ISVTX)) != 0 || info.st_uid != ::geteuid();
}

int OpenOwnFolder(const std::string& path, bool create, std::string* error)
{
    if (create && !MakeFolders(path)) {
        *error = "Cannot make the folder " + Cause(path, errno);
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int cause = errno;
        *error = cause == ELOOP || cause == ENOTDIR ? path + " is not a folder (a link or a file has its name)"
                                                    : "Cannot open the folder " + Cause(path, cause);
        return -1;
    }
    struct stat info {};
    std::string why;
    if (::fstat(fd, &info) != 0)
        why = std::strerror(errno);
    else if (info.st_uid != ::geteuid())
        why = "it belongs to another user";
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        why = "others can write in it";
    if (!why.empty()) {
        ::close(fd);
        *error = "The folder " + path + " is not used: " + why;
        return -1;
    }
    return fd;
}

bool RemoveTreeAt(int parentFd, const std::string& name, std::string* error)
{
    return RemoveEntry(parentFd, name, 0, error);
}
