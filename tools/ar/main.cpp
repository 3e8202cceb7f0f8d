// ar.exe: the authoring front the authoring batch runs as
//   ar.exe -o FOLDER -x XML
// It runs the system's dvdauthor on the program's XML made richer, its output
// ours and its exit status ours, after checking the title files the XML names.
// The richer XML has a chapter every five minutes and, for two videos or
// more, a menu of them, captioned from KANDRIX_TITLE_NAMES (one name a line,
// in title order; else the files' own names) under the disc label from
// KANDRIX_DISC_LABEL. A disc that cannot have its menu is made without it,
// and one line says why.
//
// The program's XML leaves the video manager empty, and dvdauthor then takes
// the TV system from VIDEO_FORMAT, without which Debian's build refuses the
// XML. The title files tell which it is; files of both systems cannot share a
// title set (dvdauthor would only warn and play one of them wrongly), so such
// a list is refused before anything is written.

#include "AuthoringXml.h"
#include "ChapterPlan.h"
#include "DiscXml.h"
#include "MenuMaker.h"
#include "SequenceHeader.h"
#include "TitleDuration.h"
#include "ToolProcess.h"
#include "WorkFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kFront = "ar.exe";
constexpr const char* kAuthorName = "dvdauthor";
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotFound = 127;
constexpr int kAspectWide = 3; // 16:9 in the sequence header

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

bool AllWide(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        SequenceHeader header;
        std::string error;
        if (!ReadSequenceHeader(file, &header, &error) || header.aspectCode != kAspectWide)
            return false;
    }
    return true;
}

std::vector<std::string> Captions(const std::vector<std::string>& files)
{
    std::vector<std::string> names;
    const char* given = std::getenv("KANDRIX_TITLE_NAMES");
    for (size_t start = 0; given && start <= std::strlen(given);) {
        const char* end = std::strchr(given + start, '\n');
        size_t length = end ? static_cast<size_t>(end - given) - start : std::strlen(given) - start;
        names.emplace_back(given + start, length);
        start += length + 1;
    }
    if (names.size() == files.size())
        return names;
    names.clear();
    for (const std::string& file : files)
        names.push_back(std::filesystem::path(file).stem().string());
    return names;
}

std::vector<double> Durations(const std::vector<std::string>& files)
{
    std::vector<double> durations;
    for (const std::string& file : files) {
        double seconds = 0;
        std::string error;
        if (!ReadTitleDuration(file, &seconds, &error)) {
            std::printf("%s: cannot tell how long %s plays (%s); it gets a chapter at its start only\n", kFront,
                        file.c_str(), error.c_str());
        }
        durations.push_back(seconds);
    }
    return durations;
}

// What a failed menu left of the tree, before dvdauthor starts again.
void EmptyVideoTs(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/VIDEO_TS", error)) {
        if (entry.is_regular_file(error) && !entry.is_symlink(error))
            std::filesystem::remove(entry.path(), error);
    }
}

class Authoring {
public:
    Authoring(const Request& request, const std::string& author, const std::vector<std::string>& files,
              TvSystem system)
        : request_(request), author_(author), files_(files), system_(system)
    {
    }

    int Run();

private:
    int RunAuthor(const std::string& xml);
    int AuthorFrom(const DiscMenu* menu, const std::string& name);
    void Stop(int signal)
    {
        work_.Remove();
        EndBySignal(signal);
    }

    const Request& request_;
    const std::string& author_;
    const std::vector<std::string>& files_;
    const TvSystem system_;
    WorkFolder work_;
    ChapterPlan chapters_;
};

int Authoring::RunAuthor(const std::string& xml)
{
    ToolRun run = RunTool(kFront, author_, {kAuthorName, "-o", request_.folder, "-x", xml});
    if (run.stopSignal != 0)
        Stop(run.stopSignal);
    return run.exitCode;
}

int Authoring::AuthorFrom(const DiscMenu* menu, const std::string& name)
{
    std::string error;
    const std::string xml = work_.File(name);
    if (!WriteNewFile(xml, DiscXmlText(files_, chapters_, menu), &error)) {
        std::printf("%s: %s; authoring without chapters or menu\n", kFront, error.c_str());
        return RunAuthor(request_.xml);
    }
    return RunAuthor(xml);
}

int Authoring::Run()
{
    std::string error;
    // dvdauthor makes the folder too, but the work folder goes inside it.
    mkdir(request_.folder.c_str(), 0777);
    if (!work_.Create(request_.folder, &error)) {
        std::printf("%s: %s; authoring without chapters or menu\n", kFront, error.c_str());
        return RunAuthor(request_.xml);
    }
    chapters_ = PlanChapters(Durations(files_));
    if (files_.size() < 2)
        return AuthorFrom(nullptr, "disc.xml");

    const char* label = std::getenv("KANDRIX_DISC_LABEL");
    MenuResult menu = MakeMenu({system_, AllWide(files_), label ? label : "", Captions(files_)}, work_);
    if (menu.stopSignal != 0)
        Stop(menu.stopSignal);
    if (!menu.made) {
        std::printf("%s: the disc gets no menu: %s\n", kFront, menu.why.c_str());
        return AuthorFrom(nullptr, "disc.xml");
    }
    int status = AuthorFrom(&menu.menu, "disc-menu.xml");
    if (status == 0)
        return status;
    std::printf("%s: the disc gets no menu: dvdauthor could not author it (exit status %d); authoring again "
                "without it\n",
                kFront, status);
    EmptyVideoTs(request_.folder);
    return AuthorFrom(nullptr, "disc.xml");
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
    return Authoring(request, author, files, system).Run();
}
