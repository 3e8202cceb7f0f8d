#include "settings/OutputFolder.h"

#include "platform/Paths.h"

namespace {

const char* const kWindowsFallbackFolder = "C:\\";

} // namespace

std::string FallbackOutputFolder()
{
#ifdef _WIN32
    return kWindowsFallbackFolder;
#else
    std::string home = GetHomeFolder();
    return home.empty() ? GetTempFolder() : home;
#endif
}

std::string ShownOutputFolder(const std::string& stored)
{
#ifndef _WIN32
    // The start-up record still says "C:\" for settings files of either kind.
    if (stored == kWindowsFallbackFolder)
        return FallbackOutputFolder();
#endif
    if (stored.empty())
        return FallbackOutputFolder();
    return WithTrailingSeparator(stored);
}
