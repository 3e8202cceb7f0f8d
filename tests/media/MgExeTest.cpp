#include "MediaKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <sys/stat.h>
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
    RemoveScratchFolder(folder);
}

// The conversion worker counts a file only when the encoder ended cleanly.
TEST(MgExe, ReportsTheEncodersFailure)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::string source = folder + "not a video.avi";
    ASSERT_EQ(RunProgram({"sh", "-c", "echo garbage > \"$0\"", source}).exitCode, 0);
    ProgramResult result = RunProgram({MgExePath(), "-i", source, "-y", "-target", "pal-dvd", folder + "out.mpg"});
    EXPECT_TRUE(result.started);
    EXPECT_NE(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("not a video.avi"), std::string::npos) << result.output;
    RemoveScratchFolder(folder);
}

// The runner terminates the process it started; that must be the encoder
// itself, not a front that would leave FFmpeg running on its own.
TEST(MgExe, IsTheEncoderProcessItself)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    RunningProgram program = StartProgram({MgExePath(), "-re", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                                           "-y", "-target", "pal-dvd", folder + "endless.mpg"});
    ASSERT_GT(program.pid, 0);

    std::string output;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (output.find("time=") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        if (!ReadSome(program, &output, 500))
            break;
    char exe[PATH_MAX] = {};
    ssize_t length = readlink(("/proc/" + std::to_string(program.pid) + "/exe").c_str(), exe, sizeof exe - 1);
    std::string image(exe, length > 0 ? static_cast<size_t>(length) : 0);

    kill(program.pid, SIGTERM);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadSome(program, &output, 500) && std::chrono::steady_clock::now() < deadline) {
    }
    kill(program.pid, SIGKILL);
    WaitProgram(program);
    RemoveScratchFolder(folder);

    EXPECT_NE(output.find("time="), std::string::npos) << output;
    EXPECT_NE(image.find("ffmpeg"), std::string::npos) << image;
}
