// mg.exe: runs the system's FFmpeg with the program's encoder command line,
// translated to the option dialect FFmpeg reads today. It becomes FFmpeg
// (exec, no child), so FFmpeg's output reaches the program's pipe unchanged
// and terminating mg.exe terminates the encoder.

#include "convert/EncoderDialect.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kEncoderName = "ffmpeg";
constexpr int kExitNotFound = 127;
constexpr int kExitCannotRun = 126;

// Empty entries of PATH would mean the current folder; an encoder is never
// taken from there, it could be anything the source folder holds.
std::string FindOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    std::string entries = path;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(':', start);
        if (end == std::string::npos)
            end = entries.size();
        std::string folder = entries.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = folder + '/' + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    std::string encoder = FindOnPath(kEncoderName);
    if (encoder.empty()) {
        std::fprintf(stderr, "mg.exe: %s not found on PATH\n", kEncoderName);
        return kExitNotFound;
    }

    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::vector<std::string> translated = TranslateEncoderArguments(arguments);

    std::vector<char*> vector;
    vector.reserve(translated.size() + 2);
    vector.push_back(const_cast<char*>(kEncoderName));
    for (std::string& argument : translated)
        vector.push_back(argument.data());
    vector.push_back(nullptr);

    std::fflush(nullptr);
    execv(encoder.c_str(), vector.data());
    std::fprintf(stderr, "mg.exe: cannot run %s: %s\n", encoder.c_str(), std::strerror(errno));
    return kExitCannotRun;
}
