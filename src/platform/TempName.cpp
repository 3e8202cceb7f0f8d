#include "platform/TempName.h"

#include "platform/Paths.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

// The numbers are four hexadecimal digits wide at most, as the names have
// always been; 0 is never used.
constexpr unsigned kNumberCount = 0xFFFF;

std::atomic<unsigned> g_lastNumber{0};

unsigned StartNumber()
{
    unsigned seed = static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ (static_cast<long long>(getpid()) << 8));
    return g_lastNumber.fetch_add(1) + seed;
}

std::string NameFor(const std::string& folder, unsigned number)
{
    char name[16];
    std::snprintf(name, sizeof name, "vre%X.tmp", number);
    return folder + name;
}

} // namespace

bool MakeTempName(const std::string& folder, std::string* path, std::string* error)
{
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != kPathSeparator)
        prefix += kPathSeparator;
    unsigned start = StartNumber();
    int lastError = EEXIST;
    for (unsigned attempt = 0; attempt < kNumberCount; ++attempt) {
        unsigned number = (start + attempt) % kNumberCount + 1;
        std::string candidate = NameFor(prefix, number);
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            *path = candidate;
            return true;
        }
        lastError = errno;
        if (lastError != EEXIST)
            break;
    }
    if (error)
        *error = "Cannot create a temporary file in " + folder + ": "
            + std::error_code(lastError, std::generic_category()).message();
    return false;
}
