#include "TitleDuration.h"

#include "SequenceHeader.h"
#include "WorkFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Enough of each end to hold several GOPs, also of a high-rate title.
constexpr size_t kEndBytes = 4 * 1024 * 1024;
constexpr int64_t kPtsWrap = int64_t(1) << 33;
constexpr double kTicksPerSecond = 90000.0;

// The 33-bit PTS of the five bytes after a PES header's flags, when their
// marker bits are right.
bool DecodePts(const unsigned char* p, int64_t* pts)
{
    if ((p[0] & 0xE1) != 0x21 || (p[2] & 1) != 1 || (p[4] & 1) != 1)
        return false;
    *pts = (int64_t(p[0] >> 1) & 7) << 30 | int64_t(p[1]) << 22 | int64_t(p[2] >> 1) << 15 | int64_t(p[3]) << 7 |
           int64_t(p[4] >> 1);
    return true;
}

bool ReadAt(int fd, off_t offset, size_t size, std::vector<unsigned char>* bytes)
{
    bytes->resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, bytes->data() + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    bytes->resize(done);
    return true;
}

} // namespace

bool FindVideoTimes(const unsigned char* data, size_t size, int frameTicks, int64_t* first, int64_t* last)
{
    bool found = false;
    int64_t anchor = 0;
    int64_t pictures = -1; // since the anchor's own picture
    for (size_t at = 0; at + 14 <= size; ++at) {
        if (data[at] != 0 || data[at + 1] != 0 || data[at + 2] != 1)
            continue;
        if (data[at + 3] == 0 && found) {
            // A picture start: the pictures after the anchor's follow it a
            // frame apart, whether or not a packet header dates them.
            *last = std::max(*last, anchor + ++pictures * frameTicks);
            continue;
        }
        if ((data[at + 3] & 0xF0) != 0xE0)
            continue;
        // 00 00 01 Ex, length (2), '10' flags, PTS_DTS flags, header length, PTS
        const unsigned char* header = data + at + 6;
        int64_t pts = 0;
        if ((header[0] & 0xC0) != 0x80 || (header[1] & 0x80) == 0 || !DecodePts(header + 3, &pts))
            continue;
        *first = found ? std::min(*first, pts) : pts;
        *last = found ? std::max(*last, pts) : pts;
        anchor = pts;
        pictures = -1;
        found = true;
    }
    return found;
}

bool ReadTitleDuration(const std::string& path, double* seconds, std::string* error)
{
    int fd = OpenRegularFile(path, error);
    if (fd < 0)
        return false;
    struct stat info {};
    fstat(fd, &info);
    const size_t size = static_cast<size_t>(info.st_size);
    std::vector<unsigned char> head;
    std::vector<unsigned char> tail;
    bool read = ReadAt(fd, 0, std::min(size, kEndBytes), &head) &&
                ReadAt(fd, static_cast<off_t>(size - std::min(size, kEndBytes)), std::min(size, kEndBytes), &tail);
    int readErrno = errno;
    close(fd);
    if (!read) {
        *error = std::strerror(readErrno);
        return false;
    }
    SequenceHeader header;
    const int frameTicks =
        FindSequenceHeader(head.data(), head.size(), &header) ? FrameTicks(header.frameRateCode) : 0;
    int64_t first = 0, headLast = 0, tailFirst = 0, last = 0;
    if (!FindVideoTimes(head.data(), head.size(), frameTicks, &first, &headLast) ||
        !FindVideoTimes(tail.data(), tail.size(), frameTicks, &tailFirst, &last)) {
        *error = "no MPEG-2 video time stamps";
        return false;
    }
    // The last picture is shown for a frame too: an 11-minute video lasts
    // 11 minutes, not a frame less.
    int64_t span = last + frameTicks - first;
    // The 33-bit clock went round once while the title played.
    if (span < 0)
        span += kPtsWrap;
    *seconds = static_cast<double>(span) / kTicksPerSecond;
    return true;
}
