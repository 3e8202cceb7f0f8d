#include "WorkFolder.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kPrefix = ".ar-work-";
constexpr const char* kOwnerFile = "owner";

// The process that made a work folder, 0 when the folder does not say.
pid_t OwnerOf(const std::string& folder)
{
    std::string error;
    int fd = OpenRegularFile(folder + "/" + kOwnerFile, &error);
    if (fd < 0)
        return 0;
    char text[32] = {};
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    return got > 0 ? static_cast<pid_t>(std::atol(text)) : 0;
}

bool Alive(pid_t pid)
{
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// A folder of ours whose run no longer exists. The batch empties the
// authoring folder before ar.exe runs, which takes the owner file too: a
// folder without one is a leftover as well.
bool Abandoned(const std::string& folder)
{
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    return !Alive(OwnerOf(folder));
}

void RemoveAbandoned(const std::string& parent)
{
    DIR* dir = opendir(parent.c_str());
    if (!dir)
        return;
    std::vector<std::string> leftovers;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind(kPrefix, 0) == 0 && Abandoned(parent + "/" + name))
            leftovers.push_back(parent + "/" + name);
    }
    closedir(dir);
    for (const std::string& folder : leftovers) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

} // namespace

int CreateNewFile(const std::string& path, std::string* error)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        *error = "cannot create " + path + ": " + std::strerror(errno);
    return fd;
}

int OpenRegularFile(const std::string& path, std::string* error)
{
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        *error = path + " is not a regular file";
        return -1;
    }
    if (fd < 0)
        *error = "cannot open " + path + ": " + std::strerror(errno);
    return fd;
}

bool WriteNewFile(const std::string& path, const std::string& content, std::string* error)
{
    int fd = CreateNewFile(path, error);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t wrote = write(fd, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            close(fd);
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    if (close(fd) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

WorkFolder::~WorkFolder()
{
    Remove();
}

bool WorkFolder::Create(const std::string& parent, std::string* error)
{
    RemoveAbandoned(parent);
    std::string pattern = parent + "/" + kPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *error = "cannot make a work folder in " + parent + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern;
    return WriteNewFile(File(kOwnerFile), std::to_string(getpid()) + "\n", error);
}

void WorkFolder::Remove()
{
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    path_.clear();
}
