#include "OutputGuard.h"

#include "convert/EncoderDialect.h"
#include "platform/FolderTree.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitRefused = 1;

mode_t NewFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

int OutputGuard::Prepare(const std::string& output, bool mayReplace)
{
    struct stat info {};
    bool exists = lstat(output.c_str(), &info) == 0;
    // Written through, a link would overwrite whatever it leads to, and a
    // FIFO would hang the encode until someone reads it.
    if (exists && !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "%s: %s is %s, not a file to write the output to\n", front_, output.c_str(),
                     EntryKind(info.st_mode).c_str());
        return kExitRefused;
    }
    if (exists && !mayReplace) {
        // FFmpeg's own words for this case, as it would have said them.
        std::fprintf(stderr, "File '%s' already exists. Exiting.\n", output.c_str());
        return kExitRefused;
    }
    mode_ = exists ? (info.st_mode & 07777) : NewFileMode();

    for (bool shortForm : {false, true}) {
        TemporaryTemplate name = TemporaryOutputTemplate(output, shortForm);
        int fd = mkstemps(name.pattern.data(), name.suffixLength);
        if (fd >= 0) {
            close(fd);
            output_ = output;
            temporary_ = name.pattern;
            return 0;
        }
        if (errno != ENAMETOOLONG)
            break;
    }
    std::fprintf(stderr, "%s: cannot write in the folder of %s: %s\n", front_, output.c_str(), std::strerror(errno));
    return kExitRefused;
}

void OutputGuard::Discard()
{
    if (Active())
        unlink(temporary_.c_str());
    temporary_.clear();
}

bool OutputGuard::Commit()
{
    if (!Active())
        return true;
    // mkstemps made the file private; the output gets the mode it had, or
    // the one a new file gets.
    if (chmod(temporary_.c_str(), mode_) != 0 || rename(temporary_.c_str(), output_.c_str()) != 0) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", front_, output_.c_str(), std::strerror(errno));
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}
