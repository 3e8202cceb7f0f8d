#include "MediaKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <functional>
#include <sstream>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

TEST(MgExe, WithoutFFmpegOnPathSaysSoAndFails)
{
    for (const char* path : {"PATH=", "PATH=::", "PATH=/nonexistent"}) {
        std::vector<std::string> environment = {path};
        ProgramResult result = RunProgram({MgExePath(), "-i", "a.avi", "-y", "-target", "pal-dvd", "b.mpg"}, &environment);
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 127) << path;
        EXPECT_EQ(result.output, "mg.exe: ffmpeg not found on PATH\n") << path;
    }
    std::vector<std::string> noPath;
    EXPECT_EQ(RunProgram({MgExePath(), "-i", "a.avi", "b.mpg"}, &noPath).exitCode, 127);

    // A folder of that name is no encoder.
    std::string folder = MakeScratchFolder();
    ASSERT_EQ(mkdir((folder + "ffmpeg").c_str(), 0755), 0);
    std::vector<std::string> folderOnly = {"PATH=" + folder};
    ProgramResult result = RunProgram({MgExePath(), "-i", "a.avi", "b.mpg"}, &folderOnly);
    EXPECT_EQ(result.exitCode, 127) << result.output;
    // One it cannot run is named with the system's reason.
    ASSERT_EQ(mkdir((folder + "bin").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(folder + "bin/ffmpeg", "not a program"));
    chmod((folder + "bin/ffmpeg").c_str(), 0755);
    std::vector<std::string> garbage = {"PATH=" + folder + "bin"};
    result = RunProgram({MgExePath(), "-i", "a.avi", "b.mpg"}, &garbage);
    EXPECT_EQ(result.exitCode, 126);
    EXPECT_EQ(result.output, "mg.exe: cannot run " + folder + "bin/ffmpeg: Exec format error\n");
    RemoveScratchFolder(folder);
}

// The conversion worker counts a file only when the encoder ended cleanly;
// an earlier output of the same name must survive a failed encode whole.
TEST(MgExe, AFailedEncodeLeavesNoFileAndTheOldOutputIntact)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::string source = folder + "not a video.avi";
    ASSERT_TRUE(WriteFile(source, "garbage\n"));
    ProgramResult result = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", folder + "new.mpg"});
    EXPECT_TRUE(result.started);
    EXPECT_NE(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("not a video.avi"), std::string::npos) << result.output;

    ASSERT_TRUE(WriteFile(folder + "out.mpg", "an earlier output"));
    result = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", folder + "out.mpg"});
    EXPECT_NE(result.exitCode, 0) << result.output;
    EXPECT_EQ(ReadFile(folder + "out.mpg"), "an earlier output");
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"not a video.avi", "out.mpg"}));

    result = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", folder + "no such folder/out.mpg"});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_EQ(result.output, "mg.exe: cannot write in the folder of " + folder +
                                 "no such folder/out.mpg: No such file or directory\n");
    RemoveScratchFolder(folder);
}

// Written through, a link would overwrite the file it leads to and a FIFO
// would hang the encode: anything but a regular file at the output is
// refused before FFmpeg runs, and left as it was.
TEST(MgExe, AnOutputThatIsNoRegularFileIsRefused)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    const std::string target = folder + "target";
    ASSERT_TRUE(WriteFile(target, "the user's"));
    const std::string output = folder + "out.mpg";
    struct Row {
        const char* kind;
        std::function<int()> plant;
    };
    const Row rows[] = {
        {"a symbolic link", [&] { return symlink(target.c_str(), output.c_str()); }},
        {"a FIFO", [&] { return mkfifo(output.c_str(), 0600); }},
        {"a character device", [&] { return mknod(output.c_str(), S_IFCHR | 0600, makedev(1, 3)); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        ::unlink(output.c_str());
        if (row.plant() != 0 && errno == EPERM)
            continue; // a device node needs root
        ASSERT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(output)));
        ProgramResult result = RunProgram({MgExePath(), "-f", "lavfi", "-i", "testsrc=duration=1", "-y", "-target",
                                           "pal-dvd", output});
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_EQ(result.output, "mg.exe: " + output + " is " + row.kind + ", not a file to write the output to\n");
    }
    EXPECT_EQ(ReadFile(target), "the user's");
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"out.mpg", "target"}));
    RemoveScratchFolder(folder);
}

TEST(MgExe, AGoodEncodeReplacesTheOldOutputOnlyWhenAllowed)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::string source = folder + "clip.mkv";
    std::string log;
    ASSERT_TRUE(MakeClip(source, 1, true, &log)) << log;
    std::string output = folder + "clip.mkv.vob";
    ASSERT_TRUE(WriteFile(output, "an earlier output"));

    // Without -y FFmpeg's own refusal stands, and nothing is touched.
    ProgramResult result = RunProgram({MgExePath(), "-i", source, "-target", "pal-dvd", output});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("already exists"), std::string::npos) << result.output;
    EXPECT_EQ(ReadFile(output), "an earlier output");

    result = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", output});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    nlohmann::json report;
    ASSERT_TRUE(ProbeMedia(output, &report, &log)) << log;
    EXPECT_NE(FindStream(report, "video"), nullptr);
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"clip.mkv", "clip.mkv.vob"}));

    // A new output is made like any new file, not private to its owner.
    ASSERT_TRUE(WriteFile(folder + "plain", ""));
    result = RunProgram({MgExePath(), "-i", source, "-target", "pal-dvd", folder + "fresh.vob"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    struct stat fresh {}, plain {};
    ASSERT_EQ(stat((folder + "fresh.vob").c_str(), &fresh), 0);
    ASSERT_EQ(stat((folder + "plain").c_str(), &plain), 0);
    EXPECT_EQ(fresh.st_mode & 0777, plain.st_mode & 0777);
    RemoveScratchFolder(folder);
}

namespace {

// An encode of an endless source, read until FFmpeg reports progress.
RunningProgram StartEndlessEncode(const std::string& output, bool ownGroup, std::string* text)
{
    RunningProgram program = StartProgram({MgExePath(), "-re", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                                           "-y", "-target", "pal-dvd", output},
                                          ownGroup);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (program.pid > 0 && text->find("time=00:00:01") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        if (!ReadSome(program, text, 500))
            break;
    return program;
}

void DrainOutput(RunningProgram& program, std::string* text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadSome(program, text, 500) && std::chrono::steady_clock::now() < deadline) {
    }
}

// The processes whose parent is pid.
std::vector<pid_t> ChildrenOf(pid_t pid)
{
    std::string list = ReadFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> children;
    std::istringstream words(list);
    for (pid_t child; words >> child;)
        children.push_back(child);
    return children;
}

// Gone, or a zombie no one has reaped yet: either way it has stopped.
bool HasEnded(pid_t pid)
{
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.compare(close + 1, 2, " Z") == 0);
}

} // namespace

// The program cancels an encode with SIGTERM to the tool's process group and
// follows with SIGKILL 300 ms later; what is left then must be clean.
TEST(MgExe, ACancelledEncodeLeavesNoPartialFileAndNoProcess)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::string output = folder + "out.mpg";
    ASSERT_TRUE(WriteFile(output, "an earlier output"));

    std::string text;
    RunningProgram program = StartEndlessEncode(output, true, &text);
    ASSERT_GT(program.pid, 0);
    ASSERT_NE(text.find("time=00:00:01"), std::string::npos) << text;
    EXPECT_EQ(FolderNames(folder).size(), 2u) << "the encode writes beside the output";

    pid_t group = program.pid;
    ASSERT_EQ(killpg(group, SIGTERM), 0);
    DrainOutput(program, &text);
    int status = WaitProgram(program);
    // Nothing of the group may be left for the SIGKILL to find.
    bool groupLeft = killpg(group, 0) == 0;
    if (groupLeft)
        killpg(group, SIGKILL);

    EXPECT_NE(status, 0) << text;
    EXPECT_FALSE(groupLeft);
    EXPECT_EQ(ReadFile(output), "an earlier output");
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"out.mpg"}));
    RemoveScratchFolder(folder);
}

// When the program dies, the kernel sends mg.exe SIGTERM (the death signal
// the program set for it); mg.exe cleans up as on a cancel. When mg.exe
// itself is killed outright, FFmpeg's own death signal must still end it.
TEST(MgExe, FFmpegEndsWhenTheFrontIsSignalledAlone)
{
    for (int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGKILL");
        std::string folder = MakeScratchFolder();
        ASSERT_FALSE(folder.empty());
        std::string text;
        RunningProgram program = StartEndlessEncode(folder + "out.mpg", false, &text);
        ASSERT_GT(program.pid, 0);
        std::vector<pid_t> children = ChildrenOf(program.pid);
        ASSERT_EQ(children.size(), 1u) << text;

        kill(program.pid, signal);
        DrainOutput(program, &text);
        WaitProgram(program);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasEnded(children[0]) && std::chrono::steady_clock::now() < deadline)
            usleep(50 * 1000);
        bool ended = HasEnded(children[0]);
        if (!ended)
            kill(children[0], SIGKILL);
        EXPECT_TRUE(ended);
        if (signal == SIGTERM) {
            EXPECT_TRUE(FolderNames(folder).empty());
        }
        RemoveScratchFolder(folder);
    }
}
