// Real authoring through ar.exe and the system's dvdauthor, checked with
// lsdvd (libdvdread), from the XML exactly as the program writes it.
// The menu itself is checked end to end in tests/burnflow.

#include "MediaKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string AttributeText(const std::string& path)
{
    std::string text;
    for (char c : path) {
        if (c == '&')
            text += "&amp;";
        else if (c == '<')
            text += "&lt;";
        else if (c == '"')
            text += "&quot;";
        else
            text += c;
    }
    return text;
}

std::string ProgramXml(const std::vector<std::string>& files)
{
    std::string xml = "<dvdauthor>\r\n\t<vmgm />\r\n\t\t<titleset>\r\n\t\t\t<titles>\r\n            <pgc>\r\n";
    for (const std::string& file : files)
        xml += "            <vob file=\"" + AttributeText(file) + "\" />\r\n";
    return xml + "            </pgc>\r\n\t\t\t</titles>\r\n\t\t</titleset>\r\n</dvdauthor>\r\n";
}

struct DiscTitles {
    int count = 0;
    double seconds = 0; // of the first title
};

// lsdvd's summary line: "Title: 01, Length: 00:00:04.040 Chapters: 02, ..."
DiscTitles ReadTitles(const std::string& folder, std::string* log)
{
    ProgramResult result = RunProgram({"lsdvd", folder});
    *log = result.output;
    DiscTitles titles;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        int number = 0, hours = 0, minutes = 0;
        double seconds = 0;
        if (std::sscanf(line.c_str(), "Title: %d, Length: %d:%d:%lf", &number, &hours, &minutes, &seconds) != 4)
            continue;
        if (titles.count++ == 0)
            titles.seconds = hours * 3600 + minutes * 60 + seconds;
    }
    return titles;
}

// Where lsdvd's chapters of the first title start, in seconds:
// "	Chapter: 02, Length: 00:05:00.000, Start Cell: 02"
std::vector<double> ChapterStarts(const std::string& folder, std::string* log)
{
    ProgramResult result = RunProgram({"lsdvd", "-t", "1", "-c", folder});
    *log = result.output;
    std::vector<double> starts;
    double at = 0;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        int number = 0, hours = 0, minutes = 0;
        double seconds = 0;
        if (std::sscanf(line.c_str(), " Chapter: %d, Length: %d:%d:%lf", &number, &hours, &minutes, &seconds) != 4)
            continue;
        starts.push_back(at);
        at += hours * 3600 + minutes * 60 + seconds;
    }
    return starts;
}

// ar.exe's work folders left in an authoring folder.
std::vector<std::string> WorkLeftIn(const std::string& folder)
{
    std::vector<std::string> left;
    for (const std::string& name : FolderNames(folder)) {
        if (name.rfind(".ar-work-", 0) == 0)
            left.push_back(name);
    }
    return left;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

class ArExe : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = MakeScratchFolder();
        ASSERT_FALSE(folder_.empty());
        // Names the XML must carry through its entities, and a shell would not.
        pal_ = {folder_ + "Tom & Jerry \"1\" <a>.mpg", folder_ + "$HOME it's `id`.mpg"};
        ntsc_ = {folder_ + "ntsc1.mpg", folder_ + "ntsc2.mpg"};
        for (const std::string& file : pal_)
            MakeDvdClip(file, "pal-dvd");
        for (const std::string& file : ntsc_)
            MakeDvdClip(file, "ntsc-dvd");
    }
    static void TearDownTestSuite() { RemoveScratchFolder(folder_); }

    static void MakeDvdClip(const std::string& path, const char* target)
    {
        ProgramResult result = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-f", "lavfi",
                                           "-i", "testsrc=size=320x240:rate=25:duration=" + std::to_string(kSeconds),
                                           "-f", "lavfi", "-i", "sine=duration=" + std::to_string(kSeconds),
                                           "-shortest", "-target", target, path});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    static ProgramResult Author(const std::vector<std::string>& files, const std::string& out,
                                const std::vector<std::string>* environment = nullptr, std::string xml = {})
    {
        if (xml.empty())
            xml = out + ".xml";
        EXPECT_TRUE(WriteFile(xml, ProgramXml(files)));
        return RunProgram({ArExePath(), "-o", out, "-x", xml}, environment);
    }

    static constexpr int kSeconds = 2;
    static std::string folder_;
    static std::vector<std::string> pal_;
    static std::vector<std::string> ntsc_;
};

std::string ArExe::folder_;
std::vector<std::string> ArExe::pal_;
std::vector<std::string> ArExe::ntsc_;

} // namespace

TEST_F(ArExe, AuthorsTwoFilesOfEitherTvSystemIntoOneTitle)
{
    for (const auto& [system, files] : {std::pair{"PAL", pal_}, std::pair{"NTSC", ntsc_}}) {
        SCOPED_TRACE(system);
        std::string out = folder_ + "disc " + system;
        ProgramResult result = Author(files, out);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find(std::string("VIDEO_FORMAT=") + system), std::string::npos) << result.output;
        EXPECT_TRUE(Exists(out + "/VIDEO_TS/VIDEO_TS.IFO"));
        EXPECT_TRUE(Exists(out + "/VIDEO_TS/VTS_01_1.VOB"));
        std::string log;
        DiscTitles titles = ReadTitles(out, &log);
        EXPECT_EQ(titles.count, 1) << log;
        EXPECT_NEAR(titles.seconds, 2 * kSeconds, 0.3) << log;
    }
}

// dvdauthor would only warn, and write a disc that plays one of them wrongly.
TEST_F(ArExe, RefusesMixedTvSystemsAndWritesNothing)
{
    std::string out = folder_ + "mixed";
    ProgramResult result = Author({pal_[0], ntsc_[1], pal_[1]}, out);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_EQ(result.output, "ar.exe: the title file " + ntsc_[1] + " is NTSC, but " + pal_[0] +
                                 " is PAL; one disc cannot hold both\n");
    EXPECT_FALSE(Exists(out));
}

TEST_F(ArExe, NamesATitleFileItCannotUse)
{
    std::string text = folder_ + "notes & more.mpg";
    ASSERT_TRUE(WriteFile(text, "not a video"));
    std::string missing = folder_ + "gone.mpg";
    std::string fifo = folder_ + "pipe.mpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [file, why] : {std::pair{text, "no MPEG video sequence header"},
                                    std::pair{missing, "No such file or directory"},
                                    std::pair{fifo, "not a regular file"}}) {
        std::string out = folder_ + "unusable";
        ProgramResult result = Author({pal_[0], file}, out);
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_EQ(result.output, "ar.exe: cannot read the title file " + file + ": " + why + "\n");
        EXPECT_FALSE(Exists(out));
    }

    ProgramResult result = RunProgram({ArExePath(), "-o", folder_ + "none", "-x", folder_ + "no.xml"});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("no.xml"), std::string::npos) << result.output;
    result = RunProgram({ArExePath(), "-o", folder_ + "none"});
    EXPECT_EQ(result.exitCode, 2) << result.output;
}

TEST_F(ArExe, WithoutDvdauthorOnPathSaysSoAndFails)
{
    std::string decoy = folder_ + "decoy/";
    ASSERT_EQ(mkdir(decoy.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((decoy + "dvdauthor").c_str(), 0755), 0);
    for (const std::string& path : {std::string("PATH="), std::string("PATH=::"), "PATH=" + decoy}) {
        std::vector<std::string> environment = {path};
        std::string out = folder_ + "no author";
        ProgramResult result = Author(pal_, out, &environment);
        EXPECT_EQ(result.exitCode, 127) << path;
        EXPECT_EQ(result.output, "ar.exe: dvdauthor not found on PATH\n") << path;
        EXPECT_FALSE(Exists(out));
    }
}

TEST_F(ArExe, DvdauthorsFailureIsItsFailure)
{
    // A folder that cannot be made: its parent is a file.
    ASSERT_TRUE(WriteFile(folder_ + "a file", ""));
    ProgramResult result = Author(pal_, folder_ + "a file/disc", nullptr, folder_ + "disc in a file.xml");
    EXPECT_NE(result.exitCode, 0) << result.output;

    // The status and arguments pass unchanged, with the TV system for the
    // empty video manager.
    std::string tools = folder_ + "tools/";
    ASSERT_EQ(mkdir(tools.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(tools + "dvdauthor", "#!/bin/sh\necho \"$VIDEO_FORMAT|$1|$2|$3|$4\"\nexit 3\n"));
    ASSERT_EQ(chmod((tools + "dvdauthor").c_str(), 0755), 0);
    std::vector<std::string> environment = {"PATH=" + tools};
    std::string out = folder_ + "-odd \"name\"";
    result = Author(ntsc_, out, &environment);
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_NE(result.output.find("NTSC|-o|" + out + "|-x|" + out + "/.ar-work-"), std::string::npos) << result.output;
    EXPECT_EQ(WorkLeftIn(out), std::vector<std::string>());
}

TEST_F(ArExe, ALongTitleGetsAChapterEveryFiveMinutes)
{
    // Eleven minutes made cheaply: a still grey picture at a quarter of the
    // DVD size. Its last minute starts at 10:00 exactly, which still gets
    // its chapter.
    const std::string longClip = folder_ + "long.mpg";
    ProgramResult made = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                     "color=c=gray:s=352x288:r=25", "-f", "lavfi", "-i", "anullsrc=r=48000:cl=mono",
                                     "-t", "660", "-target", "pal-dvd", "-s", "352x288", "-aspect", "4:3", "-b:v",
                                     "64k", "-b:a", "64k", longClip});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string out = folder_ + "chapters";
    ProgramResult result = Author({longClip, pal_[0]}, out);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::string log;
    const std::vector<double> starts = ChapterStarts(out, &log);
    ASSERT_EQ(starts.size(), 4u) << log;
    const double expected[] = {0, 300, 600, 660};
    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_NEAR(starts[i], expected[i], 1.0) << log;
}

// A disc is never lost for want of its menu: it is authored without one, and
// one line says why.
TEST_F(ArExe, WithoutItsMenuTheDiscIsStillMade)
{
    const struct {
        std::string tool;
        std::string script;
        std::string line;
    } cases[] = {
        {"spumux", "echo 'INFO: reading' >&2\necho 'ERR: no buttons today' >&2\necho 'INFO: done' >&2\nexit 1\n",
         "the disc gets no menu: spumux failed (exit status 1): ERR: no buttons today"},
        // The stand-in's folder leads PATH; the real dvdauthor comes after.
        {"dvdauthor", "grep -q jumppad \"$4\" && exit 1\nPATH=${PATH#*:} exec dvdauthor \"$@\"\n",
         "the disc gets no menu: dvdauthor could not author it (exit status 1); authoring again without it"},
    };
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        const std::string tools = folder_ + "broken " + c.tool + "/";
        ASSERT_EQ(mkdir(tools.c_str(), 0755), 0);
        ASSERT_TRUE(WriteFile(tools + c.tool, "#!/bin/sh\n" + c.script));
        ASSERT_EQ(chmod((tools + c.tool).c_str(), 0755), 0);
        const std::string out = folder_ + "no menu " + c.tool;
        // What a killed run left behind goes.
        ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((out + "/.ar-work-Zz9Qx1").c_str(), 0700), 0);
        ASSERT_TRUE(WriteFile(out + "/.ar-work-Zz9Qx1/still-1.mpg", "half"));

        std::vector<std::string> environment = {"PATH=" + tools + ":" + path};
        ProgramResult result = Author(pal_, out, &environment);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find("\nar.exe: " + c.line + "\n"), std::string::npos) << result.output;
        EXPECT_TRUE(Exists(out + "/VIDEO_TS/VIDEO_TS.IFO"));
        EXPECT_FALSE(Exists(out + "/VIDEO_TS/VIDEO_TS.VOB"));
        std::string log;
        EXPECT_EQ(ChapterStarts(out, &log).size(), 2u) << log;
        EXPECT_EQ(WorkLeftIn(out), std::vector<std::string>());
    }
}

// The program cancels a tool with SIGTERM to its process group, and dvdauthor
// may not heed it; ar.exe must not leave it behind.
TEST_F(ArExe, StoppingTheFrontStopsTheAuthorThatIgnoresTheSignal)
{
    std::string tools = folder_ + "stubborn/";
    ASSERT_EQ(mkdir(tools.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(tools + "dvdauthor", "#!/bin/sh\ntrap '' TERM INT HUP\necho started\nexec sleep 60\n"));
    ASSERT_EQ(chmod((tools + "dvdauthor").c_str(), 0755), 0);
    std::string xml = folder_ + "stubborn.xml";
    ASSERT_TRUE(WriteFile(xml, ProgramXml(pal_)));
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ASSERT_EQ(setenv("PATH", (tools + ":" + path).c_str(), 1), 0);
    const std::string out = folder_ + "stubborn disc";
    RunningProgram program = StartProgram({ArExePath(), "-o", out, "-x", xml}, true);
    setenv("PATH", path.c_str(), 1);
    ASSERT_GT(program.pid, 0);

    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (text.find("started") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        if (!ReadSome(program, &text, 500))
            break;
    ASSERT_NE(text.find("started"), std::string::npos) << text;

    pid_t group = program.pid;
    ASSERT_EQ(killpg(group, SIGTERM), 0);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadSome(program, &text, 500) && std::chrono::steady_clock::now() < deadline) {
    }
    int status = WaitProgram(program);
    bool groupLeft = killpg(group, 0) == 0;
    if (groupLeft)
        killpg(group, SIGKILL);
    EXPECT_NE(status, 0) << text;
    EXPECT_FALSE(groupLeft);
    EXPECT_EQ(WorkLeftIn(out), std::vector<std::string>());
}
