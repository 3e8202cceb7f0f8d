// ar.exe: the authoring front the authoring batch runs as
//   ar.exe -o FOLDER -x XML
// It runs the system's dvdauthor with the same arguments, its output ours and
// its exit status ours, after checking the title files the XML names.
//
// The program's XML leaves the video manager empty, and dvdauthor then takes
// the TV system from VIDEO_FORMAT, without which Debian's build refuses the
// XML. The title files tell which it is; files of both systems cannot share a
// title set (dvdauthor would only warn and play one of them wrongly), so such
// a list is refused before anything is written.

#include "AuthoringXml.h"
#include "SequenceHeader.h"
#include "ToolProcess.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr const char* kFront = "ar.exe";
constexpr const char* kAuthorName = "dvdauthor";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotFound = 127;

struct Request {
    std::string folder;
    std::string xml;
};

bool ParseArguments(int argc, char** argv, Request* request)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string* slot = option == "-o" ? &request->folder : option == "-x" ? &request->xml : nullptr;
        if (!slot || !slot->empty() || *argv[i + 1] == '\0')
            return false;
        *slot = argv[++i];
    }
    return !request->folder.empty() && !request->xml.empty();
}

bool ReadWholeFile(const std::string& path, std::string* text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The TV system all title files share; Unknown after one line saying which
// file does not fit.
TvSystem CommonTvSystem(const std::vector<std::string>& files)
{
    TvSystem common = TvSystem::Unknown;
    for (const std::string& file : files) {
        SequenceHeader header;
        std::string error;
        if (!ReadSequenceHeader(file, &header, &error)) {
            std::fprintf(stderr, "%s: cannot read the title file %s: %s\n", kFront, file.c_str(), error.c_str());
            return TvSystem::Unknown;
        }
        TvSystem system = TvSystemOf(header.frameRateCode);
        if (system == TvSystem::Unknown) {
            std::fprintf(stderr, "%s: the title file %s has %s frames/s, which is neither PAL nor NTSC\n", kFront,
                         file.c_str(), FrameRateText(header.frameRateCode));
            return TvSystem::Unknown;
        }
        if (common != TvSystem::Unknown && system != common) {
            std::fprintf(stderr, "%s: the title file %s is %s, but %s is %s; one disc cannot hold both\n", kFront,
                         file.c_str(), TvSystemName(system), files.front().c_str(), TvSystemName(common));
            return TvSystem::Unknown;
        }
        common = system;
    }
    return common;
}

} // namespace

int main(int argc, char** argv)
{
    HoldStopSignals();
    Request request;
    if (!ParseArguments(argc, argv, &request)) {
        std::fprintf(stderr, "%s: usage: %s -o FOLDER -x XML\n", kFront, kFront);
        return kExitUsage;
    }
    std::string author = FindOnPath(kAuthorName);
    if (author.empty()) {
        std::fprintf(stderr, "%s: %s not found on PATH\n", kFront, kAuthorName);
        return kExitNotFound;
    }

    std::string xml;
    if (!ReadWholeFile(request.xml, &xml)) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", kFront, request.xml.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    std::vector<std::string> files;
    std::string error;
    if (!ReadVobFiles(xml, &files, &error)) {
        std::fprintf(stderr, "%s: %s: %s\n", kFront, request.xml.c_str(), error.c_str());
        return kExitFailed;
    }
    if (files.empty()) {
        std::fprintf(stderr, "%s: %s names no title files\n", kFront, request.xml.c_str());
        return kExitFailed;
    }
    TvSystem system = CommonTvSystem(files);
    if (system == TvSystem::Unknown)
        return kExitFailed;

    std::printf("%s: the title files are %s; authoring with VIDEO_FORMAT=%s\n", kFront, TvSystemName(system),
                TvSystemName(system));
    setenv("VIDEO_FORMAT", TvSystemName(system), 1);
    ToolRun run = RunTool(kFront, author, {kAuthorName, "-o", request.folder, "-x", request.xml});
    if (run.stopSignal != 0)
        EndBySignal(run.stopSignal);
    return run.exitCode;
}
