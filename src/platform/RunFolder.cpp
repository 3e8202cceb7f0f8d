#include "platform/RunFolder.h"

#include "platform/FolderTree.h"
#include "platform/JobRegistry.h"
#include "platform/Paths.h"
#include "platform/RunSweep.h"
#include "platform/TempName.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string WithoutTrailingSeparator(std::string folder)
{
    while (folder.size() > 1 && folder.back() == kPathSeparator)
        folder.pop_back();
    return folder;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

} // namespace

std::shared_ptr<RunFolder> RunFolder::Create(const std::string& outputFolder, std::string* error)
{
    std::shared_ptr<RunFolder> folder(new RunFolder);
    if (!folder->Open(outputFolder, error))
        return nullptr;
    return folder;
}

bool RunFolder::Open(const std::string& outputFolder, std::string* error)
{
    outputFolder_ = outputFolder;
    const std::string output = WithoutTrailingSeparator(outputFolder);
    if (!IsFolder(output)) {
        *error = "Cannot make a work folder in " + outputFolder + ": " + std::strerror(ENOENT);
        return false;
    }
    const std::string cache = WithoutTrailingSeparator(GetCacheFolder());
    if (cache.empty()) {
        *error = "Cannot make a work folder: there is no home folder to keep its record in";
        return false;
    }
    // The cache folder holds the records and, for a shared output folder,
    // the work folder itself: nobody else may write in either.
    std::string cause;
    for (const std::string& own : {cache, WithoutTrailingSeparator(RunRecordFolder())}) {
        const int fd = OpenOwnFolder(own, true, &cause);
        if (fd < 0) {
            *error = "Cannot make a work folder: " + cause;
            return false;
        }
        ::close(fd);
    }
    return MakeFolder(IsSharedFolder(output) ? cache : output, error) && WriteRecord(error);
}

bool RunFolder::MakeFolder(const std::string& base, std::string* error)
{
    std::string pattern = base + kPathSeparator + kNamePrefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        *error = "Cannot make a work folder in " + base + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern + kPathSeparator;
    folderFd_ = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd_ >= 0)
        lockFd_ = ::openat(folderFd_, kLockName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool locked = lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0 &&
                        WriteAll(lockFd_, std::to_string(::getpid()) + "\n");
    if (!locked) {
        *error = "Cannot lock the work folder " + path_ + ": " + std::strerror(errno);
        RemoveFolder();
        return false;
    }
    return true;
}

// Written only once the lock is held: a record whose folder has no lock, or
// a lock nobody holds, belongs to a dead run.
bool RunFolder::WriteRecord(std::string* error)
{
    std::string pattern = RunRecordFolder() + "run-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    const bool written = fd >= 0 && WriteAll(fd, EncodeRunRecord(path_, outputFolder_));
    const int cause = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        *error = "Cannot record the work folder in " + RunRecordFolder() + ": " + std::strerror(cause);
        if (fd >= 0)
            ::unlink(pattern.c_str());
        RemoveFolder();
        return false;
    }
    recordPath_ = pattern;
    return true;
}

RunFolder::~RunFolder()
{
    Remove();
}

bool RunFolder::Holds(const std::string& path) const
{
    return path.size() > path_.size() && path.compare(0, path_.size(), path_) == 0 &&
           path.find(kPathSeparator, path_.size()) == std::string::npos;
}

bool RunFolder::MakeTempName(std::string* path, std::string* error)
{
    return ::MakeTempName(path_, path, error);
}

bool RunFolder::WriteFile(const std::string& name, const std::string& text, std::string* error)
{
    // Under the lock: a removal meanwhile must not close the descriptor, whose
    // number could then name another folder.
    std::lock_guard<std::mutex> lock(mutex_);
    if (folderFd_ >= 0)
        RemoveTreeAt(folderFd_, name);
    const int fd = folderFd_ < 0 ? -1
                                 : ::openat(folderFd_, name.c_str(),
                                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0 && WriteAll(fd, text);
    int cause = folderFd_ < 0 ? ENOENT : errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        written = false;
        cause = errno;
    }
    if (!written)
        *error = (fd < 0 ? "Cannot create " : "Cannot write ") + path_ + name + ": " + std::strerror(cause);
    return written;
}

bool RunFolder::RemoveEntry(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return folderFd_ >= 0 && RemoveTreeAt(folderFd_, name);
}

void RunFolder::SetSourceOf(const std::string& path, const std::string& source)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sources_[path] = source;
}

std::string RunFolder::SourceOf(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = sources_.find(path);
    return found == sources_.end() ? std::string() : found->second;
}

std::map<std::string, std::string> RunFolder::Sources() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sources_;
}

void RunFolder::Hold(int fd)
{
    if (fd < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!removed_) {
            held_.push_back(fd);
            return;
        }
    }
    ::close(fd);
}

void RunFolder::Remove()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (removed_)
        return;
    removed_ = true;
    for (int fd : held_)
        ::close(fd);
    held_.clear();
    RemoveFolder();
}

// The folder goes by its name in its parent, but only while that name is
// still this folder: the descriptor is what was made. Under the lock, or
// while the folder is being made.
void RunFolder::RemoveFolder()
{
    const std::string folder = WithoutTrailingSeparator(path_);
    bool gone = folderFd_ < 0;
    const int parentFd = ::open(FolderOf(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat made {}, named {};
    if (parentFd >= 0 && folderFd_ >= 0 && ::fstat(folderFd_, &made) == 0) {
        const std::string name = FileNameOf(folder);
        if (::fstatat(parentFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0)
            gone = errno == ENOENT;
        else if (named.st_dev == made.st_dev && named.st_ino == made.st_ino)
            gone = RemoveTreeAt(parentFd, name);
    }
    if (parentFd >= 0)
        ::close(parentFd);
    for (int* fd : {&folderFd_, &lockFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    // A folder that could not go keeps its record, so the next start tries again.
    if (gone && !recordPath_.empty())
        ::unlink(recordPath_.c_str());
}

void RunFolder::RemoveLater(JobRegistry& jobs, std::shared_ptr<RunFolder> folder)
{
    if (!folder)
        return;
    // The job ignores the cancel a shutdown sends: removing is quick, and the
    // shutdown waits for it.
    jobs.Start<int>(
        "work folder removal",
        [folder = std::move(folder)](JobControl&) {
            folder->Remove();
            return 0;
        },
        nullptr);
}
