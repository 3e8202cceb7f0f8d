#include "platform/MountTable.h"

#include "platform/Paths.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}

std::string Unescape(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string Canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

std::vector<MountEntry> ParseMountTable(const std::string& text)
{
    std::vector<MountEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint;
        if (fields >> device >> mountPoint)
            entries.push_back({Unescape(device), Unescape(mountPoint)});
    }
    return entries;
}

std::string DriveRootFolder(const std::string& devicePath, const std::string& mountTable)
{
    const std::string device = Canonical(devicePath);
    for (const MountEntry& entry : ParseMountTable(mountTable)) {
        if (entry.device == devicePath || (entry.device[0] == '/' && Canonical(entry.device) == device))
            return entry.mountPoint;
    }
    const std::string folder = FolderOf(devicePath);
    if (folder.empty())
        return devicePath.empty() || devicePath[0] != kPathSeparator ? devicePath : std::string(1, kPathSeparator);
    return folder;
}

std::string DriveRootFolder(const std::string& devicePath)
{
    std::ifstream in("/proc/self/mounts");
    const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DriveRootFolder(devicePath, table);
}
