// The program itself, run from a folder of its own: a stop request from
// outside ends it the way closing the window does.

#include "platform/RunFolder.h"
#include "recorder/ImageFileRecorder.h"
#include "recorder/ImagePlacement.h"
#include "support/ProgramRun.h"
#include "support/RunLeftovers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Runs a copy of the program from folder, sends it signal once it listens
// for it, and returns its exit status (-1 when it did not end in time).
int RunAndStop(const TempDir& folder, int signal)
{
    const std::string program = folder.Path("kandrix");
    std::filesystem::copy_file(std::string(KANDRIX_BIN_DIR) + "kandrix", program);
    return RunUntilStopped(program, {}, signal);
}

} // namespace

TEST(ProgramTest, StopSignalClosesTheWindowAndKeepsTheSettings)
{
    for (int signal : {SIGTERM, SIGINT}) {
        TempDir folder;
        EXPECT_EQ(RunAndStop(folder, signal), 0) << signal;
        EXPECT_EQ(std::filesystem::file_size(folder.Path("Option.dat")), 58u) << signal;
    }
}

TEST(ProgramTest, FifosInTheProgramFolderNeitherHoldTheStartNorTheExit)
{
    TempDir folder;
    for (const char* name : {"Option.dat", "Vista.cjstyles", "NormalBlack2.ini", "RenqaDMO.dll"})
        ASSERT_EQ(::mkfifo(folder.Path(name).c_str(), 0600), 0) << name;
    // The first request is enough: the start has not hung where the signal
    // cannot reach the window.
    EXPECT_EQ(RunAndStop(folder, SIGTERM), 0);
    EXPECT_EQ(std::filesystem::file_size(folder.Path("Option.dat")), 58u);
}

TEST(ProgramTest, ADeviceOrAHugeSkinIsNoSkin)
{
    TempDir folder;
    ASSERT_EQ(::symlink("/dev/zero", folder.Path("Vista.cjstyles").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder.Path("RenqaDMO.dll").c_str()), 0);
    ASSERT_EQ(::mkdir(folder.Path("Option.dat").c_str(), 0700), 0);
    EXPECT_EQ(RunAndStop(folder, SIGTERM), 0);

    TempDir big;
    big.Write("Vista.cjstyles", std::string(5 << 20, ' '));
    EXPECT_EQ(RunAndStop(big, SIGTERM), 0);
}

namespace {

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A run in this process: its work folder, with a copy of a video, and the
// part file of the image it writes into output.
struct LiveRun {
    std::shared_ptr<RunFolder> folder;
    PartFile part;

    explicit LiveRun(const std::string& output)
    {
        std::string error;
        folder = RunFolder::Create(output, &error);
        EXPECT_NE(folder, nullptr) << error;
        if (folder)
            std::ofstream(folder->Path() + "vre1.tmp.mpg") << "a copy of a private video";
        const int outputFd = ::open(output.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_TRUE(CreatePartFile(outputFd, &part, &error)) << error;
        ::close(outputFd);
    }
};

} // namespace

// The process the test below kills outright while its run is alive.
TEST(ProgramTest, HelperHoldingARunUntilKilled)
{
    const char* output = std::getenv("KANDRIX_TEST_RUN_IN");
    if (!output)
        GTEST_SKIP();
    LiveRun run(output);
    ::pause();
}

// What a run killed outright left (its work folder, its record, the part
// file of its image) goes at the next start; a live run's files stay.
TEST(ProgramTest, ANewStartRemovesWhatAKilledRunLeft)
{
    TempDir output, program;
    const SpawnedChild killed = StartWithEnvironment(
        {"/proc/self/exe", "--gtest_filter=ProgramTest.HelperHoldingARunUntilKilled"},
        EnvironmentWith({"KANDRIX_TEST_RUN_IN=" + output.Folder()}));
    ASSERT_EQ(killed.failure, SpawnedChild::Failure::None) << killed.error;
    for (int i = 0; i < 3000 && Names(output.Folder()).size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(killed.pid, SIGKILL);
    ::waitpid(killed.pid, nullptr, 0);
    ::close(killed.pidfd);
    ASSERT_EQ(Names(output.Folder()).size(), 2u);
    ASSERT_EQ(RunLeftovers().size(), 1u);

    LiveRun live(output.Folder());
    const std::vector<std::string> kept = Names(output.Folder());
    EXPECT_EQ(RunAndStop(program, SIGTERM), 0);
    const std::vector<std::string> left = Names(output.Folder());
    EXPECT_EQ(left.size(), 2u) << testing::PrintToString(left);
    EXPECT_TRUE(std::includes(kept.begin(), kept.end(), left.begin(), left.end()));
    EXPECT_EQ(RunLeftovers().size(), 1u);
    live.folder->Remove();
    ::close(live.part.fd);
}
