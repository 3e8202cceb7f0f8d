#include "platform/Paths.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>

std::string GetExecutablePath()
{
    char buffer[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string GetProgramFolder()
{
    std::string folder = FolderOf(GetExecutablePath());
    return folder + kPathSeparator;
}

std::string GetTempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    if (folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return folder;
}

std::string FileNameOf(const std::string& path)
{
    size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}
