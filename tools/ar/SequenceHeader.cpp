#include "SequenceHeader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 8; // start code and the 32 bits after it
constexpr size_t kChunkBytes = 64 * 1024;
// A DVD multiplex carries its first video packet within its first few
// packs; this much also covers a file that opens with a long stretch of sound.
constexpr size_t kSearchLimit = 16 * 1024 * 1024;

constexpr std::array<const char*, 9> kFrameRates = {"?", "23.976", "24", "25", "29.97", "30", "50", "59.94", "60"};

bool Plausible(const SequenceHeader& header)
{
    return header.width > 0 && header.height > 0 && header.aspectCode > 0 && header.frameRateCode > 0 &&
           header.frameRateCode < static_cast<int>(kFrameRates.size());
}

} // namespace

bool FindSequenceHeader(const unsigned char* data, size_t size, SequenceHeader* header)
{
    for (size_t at = 0; at + kHeaderBytes <= size; ++at) {
        if (data[at] != 0 || data[at + 1] != 0 || data[at + 2] != 1 || data[at + 3] != 0xB3)
            continue;
        const unsigned char* bits = data + at + 4;
        SequenceHeader found;
        found.width = (bits[0] << 4) | (bits[1] >> 4);
        found.height = ((bits[1] & 0x0F) << 8) | bits[2];
        found.aspectCode = bits[3] >> 4;
        found.frameRateCode = bits[3] & 0x0F;
        if (Plausible(found)) {
            *header = found;
            return true;
        }
    }
    return false;
}

bool ReadSequenceHeader(const std::string& path, SequenceHeader* header, std::string* error)
{
    // Not blocking: a FIFO in the list must be an error, not a hang.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = "not a regular file";
        close(fd);
        return false;
    }
    // A header may straddle two chunks: keep the tail of the one before.
    std::vector<unsigned char> buffer(kChunkBytes + kHeaderBytes);
    size_t kept = 0;
    size_t total = 0;
    bool found = false;
    while (!found && total < kSearchLimit) {
        ssize_t got = read(fd, buffer.data() + kept, kChunkBytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = std::strerror(errno);
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        size_t size = kept + static_cast<size_t>(got);
        total += static_cast<size_t>(got);
        found = FindSequenceHeader(buffer.data(), size, header);
        kept = std::min(size, kHeaderBytes - 1);
        std::memmove(buffer.data(), buffer.data() + size - kept, kept);
    }
    close(fd);
    if (!found)
        *error = "no MPEG video sequence header";
    return found;
}

int FrameTicks(int frameRateCode)
{
    constexpr std::array<int, 9> kTicks = {0, 3754, 3750, 3600, 3003, 3000, 1800, 1502, 1500};
    if (frameRateCode < 0 || frameRateCode >= static_cast<int>(kTicks.size()))
        return 0;
    return kTicks[static_cast<size_t>(frameRateCode)];
}

TvSystem TvSystemOf(int frameRateCode)
{
    switch (frameRateCode) {
    case 3:
        return TvSystem::Pal;
    case 1:
    case 4:
    case 5:
        return TvSystem::Ntsc;
    default:
        return TvSystem::Unknown;
    }
}

const char* TvSystemName(TvSystem system)
{
    return system == TvSystem::Pal ? "PAL" : system == TvSystem::Ntsc ? "NTSC" : "unknown";
}

const char* FrameRateText(int frameRateCode)
{
    if (frameRateCode < 0 || frameRateCode >= static_cast<int>(kFrameRates.size()))
        return kFrameRates[0];
    return kFrameRates[static_cast<size_t>(frameRateCode)];
}
