#include "platform/SettingsLocation.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kConfigFolderName = "kandrix";

} // namespace

SettingsLocation ChooseSettingsLocation(const SettingsFacts& facts, const std::string& fileName)
{
    // Without a configuration home there is nowhere better to try.
    if (facts.programFolderIsUsers || facts.configHome.empty())
        return {facts.programFolder + fileName, "", ""};
    const std::string folder = facts.configHome + kConfigFolderName + kPathSeparator;
    return {folder + fileName, facts.programFolder + fileName, folder};
}

SettingsFacts FindSettingsFacts(const std::string& programFolder)
{
    SettingsFacts facts;
    facts.programFolder = programFolder;
    struct stat marker {};
    facts.programFolderIsUsers = ::access(programFolder.c_str(), W_OK) == 0 &&
                                 ::lstat((programFolder + kInstallMarkerName).c_str(), &marker) != 0;
    // A relative XDG_CONFIG_HOME is invalid by the base directory rules and
    // would follow the current folder around.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == kPathSeparator)
        facts.configHome = WithTrailingSeparator(configHome);
    else if (const std::string home = GetHomeFolder(); !home.empty())
        facts.configHome = home + ".config" + kPathSeparator;
    return facts;
}

SettingsLocation LocateSettings(const std::string& programFolder, const std::string& fileName)
{
    return ChooseSettingsLocation(FindSettingsFacts(programFolder), fileName);
}

bool MakeSettingsFolder(const SettingsLocation& location, std::string* cause)
{
    const std::string& folder = location.privateFolder;
    for (size_t end = folder.find(kPathSeparator, 1); end != std::string::npos;
         end = folder.find(kPathSeparator, end + 1)) {
        const std::string step = folder.substr(0, end);
        if (IsFolder(step))
            continue;
        const int error = ::mkdir(step.c_str(), 0700) == 0 ? 0 : errno;
        // EEXIST may also be a folder made by another run just now.
        if (error != 0 && !(error == EEXIST && IsFolder(step))) {
            if (cause)
                *cause = step + ": " + (error == EEXIST ? "not a folder" : std::strerror(error));
            return false;
        }
    }
    return true;
}
