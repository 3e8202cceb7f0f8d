#include "process/FindOnPath.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::string FindOnPath(const std::string& program)
{
    if (program.empty() || program.find('/') != std::string::npos)
        return {};
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return {};
    const std::string entries = path;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos)
            end = entries.size();
        if (end > start) {
            std::string candidate = entries.substr(start, end - start);
            if (candidate.back() != '/')
                candidate += '/';
            candidate += program;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}
