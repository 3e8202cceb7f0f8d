#include "platform/Paths.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <pwd.h>
#include <vector>

std::string GetExecutablePath()
{
    char buffer[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return WithoutDeletedMark(std::string(buffer, static_cast<size_t>(length)));
}

std::string WithoutDeletedMark(const std::string& linkText)
{
    static const std::string kMark = " (deleted)";
    const bool marked = linkText.size() > kMark.size() &&
                        linkText.compare(linkText.size() - kMark.size(), kMark.size(), kMark) == 0;
    struct stat info {};
    if (!marked || ::stat(linkText.c_str(), &info) == 0)
        return linkText;
    return linkText.substr(0, linkText.size() - kMark.size());
}

std::string GetProgramFolder()
{
    std::string folder = FolderOf(GetExecutablePath());
    return folder + kPathSeparator;
}

std::string GetTempFolder()
{
    // A TMPDIR that names no folder would put outputs in the launch folder.
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && *tmp && IsFolder(tmp))
        return WithTrailingSeparator(tmp);
    return IsFolder("/tmp") ? WithTrailingSeparator("/tmp") : std::string();
}

std::string GetHomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home && IsFolder(home))
        return WithTrailingSeparator(home);
    // A session started without HOME (a service, sudo -i) still has one in
    // the password database.
    const long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<size_t>(bufferSize) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && IsFolder(found->pw_dir))
        return WithTrailingSeparator(found->pw_dir);
    return {};
}

std::string GetCacheFolder()
{
    // A relative XDG_CACHE_HOME is invalid by the XDG rules and is ignored.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == kPathSeparator)
        return WithTrailingSeparator(cache) + "kandrix" + kPathSeparator;
    const std::string home = GetHomeFolder();
    return home.empty() ? std::string() : home + ".cache" + kPathSeparator + "kandrix" + kPathSeparator;
}

std::string WithTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() != kPathSeparator)
        path += kPathSeparator;
    return path;
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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
